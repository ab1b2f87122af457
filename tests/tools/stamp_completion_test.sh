#!/bin/bash
# SPDX-License-Identifier: MIT
# velloran-stamp's bash completion in a folder full of files: the words an option takes
# are offered, never the folder's names.
# Usage: stamp_completion_test.sh <bash_completion> <completions/velloran-stamp>
set -u
framework=$(realpath "$1")
completion=$(realpath "$2")

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
touch IMG_0001.JPG IMG_0002.jpg 'holiday photo.png' notes.txt jpg jpeg.bak '*' '\*'
mkdir jxl-folder

# shellcheck disable=SC1090
source "$framework" && source "$completion" || exit 1

failures=0
# expect "<line typed so far>" "<offered words, one blank apart>"
expect() {
    local line=$1 wanted=$2 word
    local -a typed
    read -ra typed <<<"$line"
    [[ $line == *' ' ]] && typed+=('')
    # bash parts words at "=" as well, as its COMP_WORDBREAKS says.
    COMP_WORDS=()
    for word in "${typed[@]}"; do
        if [[ $word == --*=* ]]; then
            COMP_WORDS+=("${word%%=*}" '=' "${word#*=}")
        else
            COMP_WORDS+=("$word")
        fi
    done
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _velloran_stamp velloran-stamp "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got="${COMPREPLY[*]}"
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: '$line' offered [$got], expected [$wanted]"
        failures=$((failures + 1))
    fi
}

expect 'velloran-stamp --ext ' 'pictures jpg jpeg png gif tif bmp ico heic heif avif webp jxl \*'
expect 'velloran-stamp --ext j' 'jpg jpeg jxl'
expect 'velloran-stamp --ext *' '\*'
expect 'velloran-stamp --ext \*' '\*'
expect 'velloran-stamp --ext=' 'pictures jpg jpeg png gif tif bmp ico heic heif avif webp jxl \*'
expect 'velloran-stamp --ext=h' 'heic heif'
expect 'velloran-stamp --ext q' ''
expect 'velloran-stamp --position upper-' 'upper-left upper-right'
expect 'velloran-stamp --mode d' 'date datetime'
expect 'velloran-stamp --col' '--color'
expect 'velloran-stamp --color a' 'auto'
expect 'velloran-stamp --size 4' '4% 48px'
expect 'velloran-stamp --box 0.4' '0.4em,#80000000 0.4em,#80FFFFFF'
expect 'velloran-stamp --outline=' '0.06em 0.1em 2px'
# Left without a value, an outline is followed by the sources.
expect 'velloran-stamp --outline IMG_0001' 'IMG_0001.JPG'

if [[ $failures -ne 0 ]]; then
    exit 1
fi
echo "completion: all cases passed"
