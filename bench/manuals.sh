# Sourced by the bench scripts: installs what they need with apt-get when it is
# missing and works, and finds the real manuals of Debian documentation packages.
# Expects log() to be defined.

APT_UPDATED=0
install_pkg() {
    command -v apt-get >/dev/null || return 1
    [ "$(id -u)" = 0 ] || return 1
    if [ $APT_UPDATED = 0 ]; then apt-get update -qq >/dev/null 2>&1 || true; APT_UPDATED=1; fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>&1
}

# Sets MANUAL (R's 2,400-page reference), OCTAVE and PGFPLOTS to the manuals'
# paths, or to "" when a package cannot be had.
find_manuals() {
    MANUAL=/usr/share/R/doc/manual/fullrefman.pdf
    [ -f "$MANUAL" ] || install_pkg r-doc-pdf || true
    [ -f "$MANUAL" ] || { log "r-doc-pdf unavailable: no fullrefman.pdf"; MANUAL=""; }
    OCTAVE=/usr/share/doc/octave/octave.pdf
    [ -f "$OCTAVE" ] || install_pkg octave-doc || true
    [ -f "$OCTAVE" ] || { log "octave-doc unavailable: no octave.pdf"; OCTAVE=""; }
    PGFPLOTS=/usr/share/doc/texlive-doc/latex/pgfplots/pgfplots.pdf
    [ -f "$PGFPLOTS" ] || install_pkg texlive-pictures-doc || true
    [ -f "$PGFPLOTS" ] || { log "texlive-pictures-doc unavailable: no pgfplots.pdf"; PGFPLOTS=""; }
}
