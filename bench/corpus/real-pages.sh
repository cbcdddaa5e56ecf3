#!/bin/bash
# Real-world HTML for the benchmarks: the documentation that some Debian packages ship, read
# where it is installed and never copied into the project. Installs the packages that are
# missing (apt-get, through sudo when not root) unless --no-install, then prints one page a line:
# .html/.htm files under /usr/share/doc and /usr/share/gtk-doc, at most N of each package
# (every k-th of its pages in name order, so that no one package's generator outweighs the rest).
#
#   real-pages.sh [--no-install] [--per-package N]   (N: default 120)
#
# The packages were chosen for the tools that wrote their pages: Sphinx (python3.11-doc,
# sphinx-doc), mkdocs (mkdocs-doc), GTK-Doc (libglib2.0-doc), Doxygen (doxygen-doc), Javadoc
# (libcommons-lang3-java-doc), Texinfo (gettext-doc), AsciiDoc (git-doc), roffit (libcurl4-doc)
# and hand-written sites (sqlite3-doc).
set -euo pipefail

packages=(python3.11-doc sphinx-doc mkdocs-doc libglib2.0-doc doxygen-doc libcommons-lang3-java-doc
          gettext-doc git-doc libcurl4-doc sqlite3-doc)

install=yes
per_package=120
while [ $# -gt 0 ]; do
    case "$1" in
        --no-install) install=no; shift ;;
        --per-package) per_package=$2; shift 2 ;;
        *) echo "real-pages.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

if [ "$install" = yes ]; then
    missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        echo "real-pages.sh: installing ${missing[*]}" >&2
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >&2
    fi
fi

find /usr/share/doc /usr/share/gtk-doc -xtype f \( -name '*.html' -o -name '*.htm' \) -size +0 2>/dev/null |
    LC_ALL=C sort -u |
    awk -F/ -v most="$per_package" '
        { package = $4 "/" $5; if ($4 == "gtk-doc") package = package "/" $6
          pages[package, ++count[package]] = $0 }
        END {
            for (package in count) {
                step = count[package] / most; if (step < 1) step = 1
                for (k = 1; k <= count[package]; k += step) print pages[package, int(k)]
            }
        }' | LC_ALL=C sort
