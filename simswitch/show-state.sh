#!/usr/bin/env bash
# Prints what the simulated switch holds: each address's status word from its
# state file and, given qel's ip.ini, whether each of the four outlets of the
# switch named there (IP key of [Qelmark]) is on: outlet N is on when its
# mask SWN has a bit in common with the word.
#
# usage: show-state.sh STATE-FILE [IP.INI]
#
# The state file is read by the same rules as the library reads it: lines
# "<address>=<word>", blanks around the parts ignored, the last '=' separates
# them, decimal words taken to 16 bits, the last line for an address counts,
# blank, '#' and malformed lines ignored. An address without a line reads 0.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 STATE-FILE [IP.INI]" >&2
  exit 2
fi
state_file=$1
ini_file=${2:-}

trim() {
  local s=$1
  s=${s#"${s%%[![:blank:]]*}"}
  s=${s%"${s##*[![:blank:]]}"}
  printf '%s' "$s"
}

# A plain decimal number, optionally signed, of at most 18 digits.
is_decimal() {
  [[ $1 =~ ^[+-]?[0-9]{1,18}$ ]]
}

decimal() {
  local sign=${1%%[0-9]*} digits=${1##*[+-]}
  if [ "$sign" = "-" ]; then echo $((-10#$digits)); else echo $((10#$digits)); fi
}

# The low 16 bits of a number as a signed 16-bit word.
narrow16() {
  local low=$(($1 & 0xFFFF))
  if [ $low -ge 32768 ]; then low=$((low - 65536)); fi
  echo $low
}

shown() {
  if [ -z "$1" ]; then printf '(empty address)'; else printf '%s' "$1"; fi
}

declare -A words=()
order=()
if [ -f "$state_file" ]; then
  while IFS= read -r line || [ -n "$line" ]; do
    line=$(trim "${line%$'\r'}")
    [ -z "$line" ] && continue
    [ "${line:0:1}" = "#" ] && continue
    [[ $line == *=* ]] || continue
    address=$(trim "${line%=*}")
    value=$(trim "${line##*=}")
    is_decimal "$value" || continue
    [ -n "${words[x$address]+set}" ] || order+=("$address")
    words[x$address]=$(narrow16 "$(decimal "$value")")
  done < "$state_file"
  if [ ${#order[@]} -eq 0 ]; then
    echo "$state_file holds no switch: every switch reads 0"
  fi
  for address in "${order[@]}"; do
    echo "$(shown "$address") = ${words[x$address]}"
  done
else
  echo "no state file $state_file: every switch reads 0"
fi

[ -n "$ini_file" ] || exit 0
if [ ! -r "$ini_file" ]; then
  echo "cannot read $ini_file" >&2
  exit 1
fi

# The [Qelmark] values as the profile functions give them: names in any
# letter case, blanks around names and values ignored, one pair of quotes
# around a value removed, the first line for a key counts.
declare -A ini=()
in_section=0
while IFS= read -r line || [ -n "$line" ]; do
  line=$(trim "${line%$'\r'}")
  if [ "${line:0:1}" = "[" ]; then
    name=${line#[}
    name=${name%%]*}
    [ "$(trim "${name,,}")" = "qelmark" ] && in_section=1 || in_section=0
    continue
  fi
  [ $in_section -eq 1 ] || continue
  [[ $line == *=* ]] || continue
  key=$(trim "${line%%=*}")
  key=${key,,}
  value=$(trim "${line#*=}")
  if [ ${#value} -ge 2 ] && [[ ${value:0:1} == [\"\'] ]] && [ "${value: -1}" = "${value:0:1}" ]; then
    value=${value:1:${#value}-2}
  fi
  [ -n "${ini[$key]+set}" ] || ini[$key]=$value
done < "$ini_file"

if [ -z "${ini[ip]+set}" ]; then
  echo "$ini_file has no IP in [Qelmark]" >&2
  exit 1
fi
address=$(trim "${ini[ip]}")
word=${words[x$address]:-0}
echo "switch $(shown "$address") (IP in $ini_file), word $word:"
for n in 1 2 3 4; do
  if [ -z "${ini[sw$n]+set}" ]; then
    echo "outlet $n: no SW$n in [Qelmark]"
  elif ! is_decimal "$(trim "${ini[sw$n]}")"; then
    echo "outlet $n: SW$n is not a decimal mask: ${ini[sw$n]}"
  elif [ $(( $(decimal "$(trim "${ini[sw$n]}")") & word )) -ne 0 ]; then
    echo "outlet $n: on"
  else
    echo "outlet $n: off"
  fi
done
