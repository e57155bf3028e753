# Sourced by the quick-start scripts: makes sure the build prerequisites are
# present, installing them through apt-get when running as root.
cw_need_packages() {
  local missing=()
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
  command -v g++ >/dev/null 2>&1 || missing+=(g++)
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "Missing packages: ${missing[*]}. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    return 1
  fi
}

# Makes sure the locales the conversion tests compare against the C library
# exist (en_US.UTF-8, en_US.ISO-8859-1, ja_JP.EUC-JP), generating the missing
# ones with localedef when running as root. Without them those comparisons
# are skipped, so a machine that cannot add them only gets a notice.
cw_need_locales() {
  local have missing=() want
  have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | tr -d '_.-')
  for want in en_US:UTF-8 en_US:ISO-8859-1 ja_JP:EUC-JP; do
    local name=${want%%:*} charset=${want#*:}
    local folded
    folded=$(echo "$name$charset" | tr 'A-Z' 'a-z' | tr -d '_.-')
    grep -qx "$folded" <<<"$have" || missing+=("$want")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "notice: locales ${missing[*]} are missing; their comparisons will be skipped" >&2
    return 0
  fi
  command -v localedef >/dev/null 2>&1 && [ -d /usr/share/i18n/locales ] || cw_need_packages locales
  for want in "${missing[@]}"; do
    localedef -i "${want%%:*}" -f "${want#*:}" "${want%%:*}.${want#*:}" ||
      echo "notice: could not generate ${want%%:*}.${want#*:}" >&2
  done
}
