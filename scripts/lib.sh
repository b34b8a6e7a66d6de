# Shared by the play and test commands: package installation.

# install_missing FILE: installs the Debian packages listed in FILE that are not installed yet.
install_missing() {
    local missing=() pkg
    while read -r pkg; do
        pkg=${pkg%%#*}
        pkg=${pkg//[[:space:]]/}
        [ -n "$pkg" ] || continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done < "$1"
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
