#pragma once

// Pages whose scripts change where a link stands, for the tests of the rendered second look.
// The drawn link's address is put together by the script, so the page's source never holds
// the term; the removed and hidden ones are in the source as plain links.
namespace ScriptPages {

inline constexpr char Term[] = "www.my-shop.example";

#define TW_DRAW_LINK                                                                                                   \
    "var a = document.createElement('a'); a.href = 'https://www.my-' + 'shop.example/'; a.textContent = 'My Shop';"   \
    " document.body.appendChild(a);"

inline constexpr char Timer[] = "<html><body><p>Partners</p><script>setTimeout(function () {" TW_DRAW_LINK
                                "}, 300);</script></body></html>";
inline constexpr char Fetched[] = "<html><body><p>Partners</p><script>fetch('/link.json').then(function (r) {"
                                  " return r.json(); }).then(function (j) { var a = document.createElement('a');"
                                  " a.href = j.href; a.textContent = 'My Shop'; document.body.appendChild(a);"
                                  " });</script></body></html>";
// What Fetched fetches, at /link.json.
inline constexpr char LinkJson[] = "{\"href\": \"https://www.my-shop.example/\"}";
inline constexpr char OnReady[] = "<html><head><script>document.addEventListener('DOMContentLoaded', function () {"
                                  TW_DRAW_LINK "});</script></head><body><p>Partners</p></body></html>";
inline constexpr char Removed[] = "<html><body><a id=\"l\" href=\"https://www.my-shop.example/\">My Shop</a>"
                                  "<script>document.getElementById('l').remove();</script></body></html>";
inline constexpr char Hidden[] = "<html><body><a id=\"l\" href=\"https://www.my-shop.example/\">My Shop</a>"
                                 "<script>document.getElementById('l').style.display = 'none';</script></body></html>";
inline constexpr char Plain[] = "<html><body><a href=\"https://www.my-shop.example/\">My Shop</a></body></html>";
inline constexpr char Absent[] = "<html><body><p>No partners here.</p></body></html>";
// Timers without end: the page's own time runs out, and the browser gives the page then.
inline constexpr char EndlessTimer[] = "<html><body><p>Ticking</p><script>var n = 0; setInterval(function () {"
                                       " document.title = String(n++); }, 5);</script></body></html>";
// A script that never returns: the page never settles, and only the bound ends it.
inline constexpr char EndlessLoop[] = "<html><body><p>Busy</p><script>setTimeout(function () { for (;;) {} },"
                                      " 10);</script></body></html>";
// Memory taken without end, 128 MiB at a time.
inline constexpr char Hog[] = "<html><body><p>Hog</p><script>var kept = []; function more() {"
                              " for (var i = 0; i < 8; ++i) kept.push(new Uint8Array(16 << 20).fill(1));"
                              " setTimeout(more, 0); } more();</script></body></html>";

#undef TW_DRAW_LINK

} // namespace ScriptPages
