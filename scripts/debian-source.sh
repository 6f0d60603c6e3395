#!/usr/bin/env bash
# Prints, as a deb822 stanza, the deb-src source of Debian's own archive for
# the running release (the codename in OS_RELEASE, by default
# /etc/os-release), for build-windows-deps.sh to fetch jsoncpp's source
# package from. apt itself says which of its sources that archive is: the
# first one whose Release file, as apt's lists hold it, is Debian's
# (Origin: Debian) for that codename, verified and with main; a mirror
# under any URI qualifies, a CD does not. Its key is kept as the entry has
# it (a keyring path, fingerprints or an inline key block); without one,
# apt's trusted keyrings check it, as they do for the entry itself. Where
# apt knows no such archive, one line says so and the status is 1.
# APT_CONFIG names another apt configuration, as it does for apt.
#
# usage: debian-source.sh [OS_RELEASE]
set -euo pipefail
os_release=${1:-/etc/os-release}

refuse() {
  echo "debian-source: $*" >&2
  exit 1
}

codename=$(LC_ALL=C sed -n 's/^VERSION_CODENAME=["'\'']\{0,1\}\([a-z]*\).*/\1/p' \
  "$os_release" 2>/dev/null || true)
[ -n "$codename" ] || refuse "no release codename in $os_release"

# apt lists only the targets whose index its lists hold, with the fields of
# their Release file; a source never fetched has none.
format=$'$(ORIGIN)\t$(CODENAME)\t$(TRUSTED)\t$(COMPONENT)\t$(REPO_URI)\t$(SOURCESENTRY)'
targets=$(apt-get indextargets --format "$format") ||
  refuse "apt-get indextargets failed"
[ -n "$targets" ] || refuse "apt's lists hold no index of any source yet;" \
  "run apt-get update as root first"
found=$(awk -F '\t' -v codename="$codename" '
  $1 == "Debian" && $2 == codename && $3 == "yes" && $4 == "main" &&
    $5 !~ /^cdrom:/ { print $5 "\t" $6; exit }' <<<"$targets")
[ -n "$found" ] || refuse "no Debian archive for $codename (Origin Debian," \
  "signed, with main) among the sources whose lists apt holds; add one," \
  "or run apt-get update as root if one is new"
IFS=$'\t' read -r uri entry <<<"$found"

# apt names the entry (FILE:N, the Nth stanza of a .sources file or line N
# of a one-line file) but not its key, so the key is read from there; the
# entry must name the same URI, or it is not the one apt meant.
file=${entry%:*} number=${entry##*:}
if [[ $file == *.sources ]]; then
  # Stanzas counted as apt counts them: a run of empty lines ends one,
  # comment lines belong to none, a stanza of comments alone is none.
  signed_by=$(awk -v want="$number" -v uri="${uri%/}" '
    /^#/ { next }
    /^$/ { started = 0; next }
    !started { started = 1; stanza++ }
    stanza != want { next }
    /^[^ \t]/ {
      field = tolower(substr($0, 1, index($0, ":") - 1))
      value = substr($0, index($0, ":") + 1)
      first = 1
    }
    /^[ \t]/ { value = $0; first = 0 }
    field == "uris" {
      n = split(value, u)
      for (i = 1; i <= n; i++) if (u[i] == uri || u[i] == uri "/") named = 1
    }
    # An inline key block goes on verbatim, continuation lines and all.
    field == "signed-by" { print (first ? "Signed-By:" : "") value }
    END { exit named ? 0 : 3 }' "$file") ||
    refuse "apt's entry $entry does not name $uri"
else
  signed_by=$(awk -v want="$number" -v uri="${uri%/}" '
    NR != want { next }
    {
      sub(/#.*/, "")
      n = split($0, w)
      i = 2
      if (substr(w[2], 1, 1) == "[") {
        options = ""
        for (; i <= n; i++) { options = options " " w[i]; if (w[i] ~ /]$/) break }
        i++
        gsub(/[][]/, " ", options)
        m = split(options, o)
        for (j = 1; j <= m; j++)
          if (tolower(substr(o[j], 1, 10)) == "signed-by=") {
            key = substr(o[j], 11)
            gsub(/,/, " ", key)
            print "Signed-By: " key
          }
      }
      named = w[i] == uri || w[i] == uri "/"
      exit
    }
    END { exit named ? 0 : 3 }' "$file") ||
    refuse "apt's entry $entry does not name $uri"
fi

printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' \
  "$uri" "$codename"
[ -z "$signed_by" ] || printf '%s\n' "$signed_by"
