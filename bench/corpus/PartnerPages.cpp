#include "PartnerPages.h"

#include <QRandomGenerator>
#include <QStringList>

#include <utility>

namespace PartnerPages {

namespace {

const QStringList &Vocabulary()
{
    static const QStringList words = QStringLiteral(
        "garden travel recipe review guide community forum article archive season market local "
        "history photo gallery service quality support contact about friends network reading "
        "blog café crème naïve résumé tomato kitchen winter summer bicycle coffee school music")
                                         .split(u' ');
    return words;
}

bool Blank(const QString &value)
{
    for (const QChar c : value)
        if (c.isSpace() || c == u'"' || c == u'\'' || c == u'=' || c == u'<' || c == u'>' || c == u'`')
            return true;
    return false;
}

// The variations one seed draws.
class Writer
{
public:
    Writer(unsigned seed, const QString &term) : random_(seed), term_(term)
    {
        upperTags_ = random_.bounded(8) == 0;
        quote_ = QStringLiteral("\"'").at(random_.bounded(2));
        unquoted_ = random_.bounded(3) == 0;
        crlf_ = random_.bounded(5) == 0;
        place_ = random_.bounded(6);
    }

    int Bounded(int least, int most) { return least + int(random_.bounded(most - least + 1)); }
    bool Chance(int inTen) { return int(random_.bounded(10)) < inTen; }
    QString Word() { return Vocabulary()[int(random_.bounded(int(Vocabulary().size())))]; }
    QString Words(int count)
    {
        QStringList words;
        for (int i = 0; i < count; ++i)
            words << Word();
        return words.join(u' ');
    }

    // An attribute value, quoted as the page quotes (unquoted where it can be).
    QString Value(const QString &value) const
    {
        return unquoted_ && !Blank(value) && value.indexOf(u'&') < 0 ? value : quote_ + value + quote_;
    }

    // The page's way with tag case and line ends.
    QString Finish(QString page) const
    {
        if (upperTags_)
            for (const char *tag : {"p", "li", "td", "tr", "ul", "div", "a", "table"})
                page.replace(QStringLiteral("<%1").arg(QLatin1String(tag)), QStringLiteral("<%1").arg(QLatin1String(tag).toString().toUpper()))
                    .replace(QStringLiteral("</%1>").arg(QLatin1String(tag)), QStringLiteral("</%1>").arg(QLatin1String(tag).toString().toUpper()));
        if (crlf_)
            page.replace(u'\n', QStringLiteral("\r\n"));
        return page;
    }

    // The partner link as the seed places it; where is one of the places the page offers.
    QString Partner(int where)
    {
        if (where != place_ % 3)
            return {};
        const QString href = Value(term_);
        switch (place_) {
        case 3:
            return QStringLiteral("<a href=%1 rel=%2>%3</a>").arg(href, Value(QStringLiteral("nofollow noopener")), Word());
        case 4:
            return QStringLiteral("<!-- <a href=%1>%2</a> -->").arg(href, Word());
        default:
            return QStringLiteral("<a href=%1 title=%2>%3 %4</a>").arg(href, Value(Word()), Word(), Word());
        }
    }

private:
    QRandomGenerator random_;
    QString term_;
    QString page_;
    bool upperTags_;
    QChar quote_;
    bool unquoted_;
    bool crlf_;
    int place_;
};


QString Head(Writer &w, const QString &title, bool headNoscript)
{
    QString head = QStringLiteral("<!DOCTYPE html>\n<html lang=en>\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
    head += QStringLiteral("<title>%1 &ndash; %2</title>\n").arg(title, w.Words(2));
    head += QStringLiteral("<link rel=\"stylesheet\" href=\"/assets/theme.css?v=%1\">\n").arg(w.Bounded(1, 99));
    if (w.Chance(5))
        head += QStringLiteral("<meta name=\"robots\" content=\"index, follow\">\n");
    head += QStringLiteral("<script>window.dataLayer = window.dataLayer || []; function gtag(){dataLayer.push(arguments);}"
                           " if (a < b && c > d) { gtag('js', new Date()); }</script>\n");
    if (headNoscript)
        head += QStringLiteral("<noscript><link rel=\"stylesheet\" href=\"/assets/noscript.css\"></noscript>\n");
    head += QStringLiteral("<style>.icon{width:1em;height:1em} .cookie{position:fixed}</style>\n</head>\n");
    return head;
}

QString Icon(Writer &w, const QString &name)
{
    return QStringLiteral("<svg class=\"icon icon-%1\" viewBox=\"0 0 24 24\" aria-hidden=\"true\"><title>%1</title>"
                          "<use xlink:href=\"#icon-%1\"/><path d=\"M%2 0h24v24H0z\" fill=\"none\"/></svg>")
        .arg(name)
        .arg(w.Bounded(0, 9));
}

QString Blog(Writer &w)
{
    QString page = Head(w, QStringLiteral("Our blog"), false);
    page += QStringLiteral("<body class=\"blog\">\n<header class=\"site-header\"><a class=\"logo\" href=\"/\">") + Icon(w, QStringLiteral("home"))
        + QStringLiteral(" Home</a>\n<nav><ul>\n");
    for (int i = 0, n = w.Bounded(4, 9); i < n; ++i)
        page += QStringLiteral("<li><a href=\"/%1/\">%2</a></li>\n").arg(w.Word(), w.Words(1));
    page += QStringLiteral("</ul></nav>\n<form role=search action=\"/\"><label for=s>Search</label><input id=s name=s type=search>"
                           "<button type=submit>") + Icon(w, QStringLiteral("search")) + QStringLiteral("</button></form>\n</header>\n<main>\n");
    for (int post = 0, posts = w.Bounded(1, 4); post < posts; ++post) {
        page += QStringLiteral("<article id=\"post-%1\" class=\"post\">\n<h2><a href=\"/%2/\">%3</a></h2>\n").arg(post).arg(w.Word(), w.Words(4));
        for (int p = 0, n = w.Bounded(2, 8); p < n; ++p)
            page += QStringLiteral("<p>%1 <em>%2</em> %3 &amp; %4.</p>\n").arg(w.Words(12), w.Word(), w.Words(10), w.Words(3));
        if (w.Chance(3))
            page += QStringLiteral("<pre><code>\nsudo apt-get install %1\n</code></pre>\n").arg(w.Word());
        page += QStringLiteral("<footer class=meta>") + Icon(w, QStringLiteral("share")) + QStringLiteral(" <a href=\"/share\">Share</a></footer>\n</article>\n");
    }
    page += QStringLiteral("<section id=comments><h3>%1 comments</h3>\n<ol class=comment-list>\n").arg(w.Bounded(1, 9));
    for (int c = 0, n = w.Bounded(1, 6); c < n; ++c)
        page += QStringLiteral("<li class=comment><div class=author>%1</div><p>%2 %3</p></li>\n").arg(w.Word(), w.Words(15), w.Partner(1));
    page += QStringLiteral("</ol>\n<form id=commentform method=post action=\"/wp-comments-post.php\">\n"
                           "<p><label for=comment>Comment</label><textarea id=comment name=comment cols=45 rows=8>\n</textarea></p>\n"
                           "<p><label for=author>Name</label> <input id=author name=author type=text value=\"\" size=30 required></p>\n"
                           "<p><label for=url>Website</label> <input id=url name=url type=url></p>\n"
                           "<p><input name=cookies type=checkbox value=yes> Remember me</p>\n"
                           "<p class=form-submit><input type=submit value=\"Post Comment\"><input type=hidden name=post_id value=%1></p>\n"
                           "</form>\n</section>\n</main>\n<aside class=sidebar><h3>Blogroll</h3><ul>\n").arg(w.Bounded(1, 999));
    for (int i = 0, n = w.Bounded(3, 8); i < n; ++i)
        page += QStringLiteral("<li><a href=\"https://%1.example/\">%2</a></li>\n").arg(w.Word(), w.Words(2));
    page += QStringLiteral("<li>%1</li>\n</ul></aside>\n<footer class=site-footer><p>&copy; 2026 %2 %3</p></footer>\n"
                           "<script src=\"/assets/theme.js\" defer></script>\n</body>\n</html>\n")
                .arg(w.Partner(0), w.Word(), w.Partner(2));
    return page;
}

QString Forum(Writer &w)
{
    QString page = Head(w, QStringLiteral("Forum"), false);
    page += QStringLiteral("<body id=phpbb class=section-viewtopic>\n<div id=wrap>\n<div class=navbar><ul class=linklist>"
                           "<li><a href=\"./index.php\">Board index</a></li><li><a href=\"./faq.php\">FAQ</a></li></ul></div>\n");
    page += QStringLiteral("<h2 class=topic-title><a href=\"./viewtopic.php?t=%1\">%2</a></h2>\n").arg(w.Bounded(1, 9999)).arg(w.Words(5));
    page += QStringLiteral("<div class=pagination>%1 posts &bull; Page <strong>1</strong> of %2</div>\n").arg(w.Bounded(2, 40)).arg(w.Bounded(1, 4));
    for (int post = 0, posts = w.Bounded(2, 8); post < posts; ++post) {
        page += QStringLiteral("<div id=\"p%1\" class=\"post bg%2\">\n<div class=postbody>\n<h3><a href=\"#p%1\">Re: %3</a></h3>\n")
                    .arg(post).arg(post % 2 + 1).arg(w.Words(3));
        page += QStringLiteral("<div class=content>%1<br>\n%2<br>\n").arg(w.Words(20), w.Words(12));
        if (w.Chance(4))
            page += QStringLiteral("<blockquote><div><cite>%1 wrote:</cite>%2</div></blockquote>\n").arg(w.Word(), w.Words(10));
        if (w.Chance(3))
            page += QStringLiteral("<dl class=codebox><dt>Code:</dt><dd><code>make %1 &amp;&amp; make install</code></dd></dl>\n").arg(w.Word());
        page += w.Partner(post == 0 ? 1 : 9) + QStringLiteral("</div>\n</div>\n");
        page += QStringLiteral("<dl class=postprofile><dt><a href=\"./memberlist.php?u=%1\">%2</a></dt><dd><strong>Posts:</strong> %3</dd></dl>\n</div>\n")
                    .arg(w.Bounded(1, 999)).arg(w.Word()).arg(w.Bounded(1, 5000));
    }
    page += QStringLiteral("<form method=get id=jumpbox action=\"./viewforum.php\"><fieldset><label for=f>Jump to:</label>"
                           "<select name=f id=f>\n<optgroup label=\"Boards\">\n");
    for (int i = 0, n = w.Bounded(3, 10); i < n; ++i)
        page += QStringLiteral("<option value=\"%1\">%2</option>\n").arg(i).arg(w.Words(2));
    page += QStringLiteral("</optgroup>\n</select>\n<input type=submit value=Go class=button2></fieldset></form>\n");
    page += QStringLiteral("<table class=table1><thead><tr><th>Who is online</th></tr></thead><tbody>\n");
    for (int i = 0, n = w.Bounded(1, 4); i < n; ++i)
        page += QStringLiteral("<tr class=row%1><td>%2</td></tr>\n").arg(i % 2).arg(w.Words(6));
    page += QStringLiteral("</tbody></table>\n<div class=copyright>%1 Powered by a forum &copy; %2</div>\n</div>\n</body>\n</html>\n")
                .arg(w.Partner(0), w.Partner(2));
    return page;
}

QString Shop(Writer &w)
{
    QString page = Head(w, QStringLiteral("Shop"), false);
    page += QStringLiteral("<body bgcolor=\"#ffffff\">\n<table width=\"100%\" border=0 cellpadding=0 cellspacing=0>\n"
                           "<tr><td colspan=2 class=banner><a href=\"/\"><img src=\"/img/logo.gif\" width=200 height=60 alt=\"Shop\"></a></td></tr>\n"
                           "<tr>\n<td valign=top width=180 class=menu>\n<ul>\n");
    for (int i = 0, n = w.Bounded(4, 10); i < n; ++i)
        page += QStringLiteral("<li><a href=\"/category/%1\">%2</a>\n").arg(w.Word(), w.Words(2));
    page += QStringLiteral("</ul>\n%1\n</td>\n<td valign=top>\n<h1>%2</h1>\n").arg(w.Partner(1), w.Words(3));
    page += QStringLiteral("<table class=products>\n<caption>%1</caption>\n<colgroup><col width=\"30%\"><col></colgroup>\n").arg(w.Words(2));
    for (int row = 0, rows = w.Bounded(2, 8); row < rows; ++row) {
        page += QStringLiteral("<tr>\n<td><img src=\"/img/p%1.jpg\" alt=\"%2\"></td>\n<td><b>%3</b><br>%4<br>\n")
                    .arg(row).arg(w.Word(), w.Words(2), w.Words(14));
        page += QStringLiteral("<form action=\"/cart\" method=post><select name=qty>");
        for (int q = 1; q <= 5; ++q)
            page += QStringLiteral("<option%1>%2").arg(q == 1 ? QStringLiteral(" selected") : QString()).arg(q);
        page += QStringLiteral("</select>\n<button type=submit name=add value=%1>Add to cart</button></form>\n<span class=price>&euro; %2,%3</span>\n")
                    .arg(row).arg(w.Bounded(1, 99)).arg(w.Bounded(10, 99));
        if (w.Chance(5))
            page += QStringLiteral("</td>\n</tr>\n");
    }
    page += QStringLiteral("</table>\n<p>%1</p>\n</td>\n</tr>\n<tr><td colspan=2 class=footer>%2 %3</td></tr>\n</table>\n</body>\n</html>\n")
                .arg(w.Words(20), w.Partner(0), w.Partner(2));
    return page;
}

QString Video(Writer &w)
{
    QString page = Head(w, QStringLiteral("Videos"), w.Chance(3));
    page += QStringLiteral("<body>\n<div class=cookie id=cookie-banner role=dialog><p>We use cookies. <a href=\"/privacy\">Privacy</a></p>"
                           "<form method=post action=\"/consent\"><button name=consent value=all>Accept all</button>"
                           "<button name=consent value=none class=secondary>Only necessary</button></form></div>\n");
    page += QStringLiteral("<header><h1>%1</h1></header>\n<main>\n").arg(w.Words(3));
    for (int v = 0, n = w.Bounded(1, 5); v < n; ++v) {
        page += QStringLiteral("<section class=video>\n<h2>%1</h2>\n").arg(w.Words(4));
        page += QStringLiteral("<iframe width=560 height=315 src=\"https://video.example/embed/%1\" title=\"%2\" frameborder=0 "
                               "allow=\"autoplay; encrypted-media\" allowfullscreen></iframe>\n")
                    .arg(w.Bounded(1000, 9999)).arg(w.Words(2));
        page += QStringLiteral("<p>%1</p>\n").arg(w.Words(25));
        if (w.Chance(4))
            page += QStringLiteral("<picture><source srcset=\"/img/%1.webp\" type=\"image/webp\"><img src=\"/img/%1.jpg\" alt=\"%2\"></picture>\n")
                        .arg(v).arg(w.Word());
        page += QStringLiteral("</section>\n");
    }
    page += QStringLiteral("<p>%1</p>\n</main>\n<footer><p>%2</p><p>%3</p></footer>\n"
                           "<noscript><img height=1 width=1 style=\"display:none\" src=\"https://pixel.example/tr?id=%4&amp;ev=PageView\"></noscript>\n"
                           "</body>\n</html>\n")
                .arg(w.Partner(1), w.Partner(0), w.Partner(2))
                .arg(w.Bounded(1, 99999));
    return page;
}

} // namespace

const std::vector<Shape> &Shapes()
{
    static const std::vector<Shape> shapes{Shape::Blog, Shape::Forum, Shape::Shop, Shape::Video};
    return shapes;
}

const char *Name(Shape shape)
{
    switch (shape) {
    case Shape::Blog: return "blog";
    case Shape::Forum: return "forum";
    case Shape::Shop: return "shop";
    case Shape::Video: return "video";
    }
    return "";
}

QString Make(Shape shape, unsigned seed, const QString &term)
{
    Writer w(seed * 4 + unsigned(shape), term);
    switch (shape) {
    case Shape::Blog: return w.Finish(Blog(w));
    case Shape::Forum: return w.Finish(Forum(w));
    case Shape::Shop: return w.Finish(Shop(w));
    case Shape::Video: return w.Finish(Video(w));
    }
    return {};
}

} // namespace PartnerPages
