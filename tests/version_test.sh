#!/bin/sh
# What the project states in more than one file must agree. The version is set once, in
# CMakeLists.txt's project(VERSION); the Debian changelog's newest entry, the software-centre
# metadata's newest release and the man page's header state it too. The homepage is
# debian/control's Homepage, and the metadata's homepage URL is the same.
#   version_test.sh VERSION SOURCE-FOLDER
set -eu
version=$1 source=$2
metainfo=linux/org.gravelmoth.gravelmoth.metainfo.xml
status=0
agrees() { # agrees WHAT EXPECTED FILE FOUND
    if [ -z "$2" ] || [ "$4" != "$2" ]; then
        echo "$3 says ${4:-nothing} of the $1, which is ${2:-stated nowhere}"
        status=1
    fi
}

agrees version "$version" debian/changelog \
    "$(sed -n '1s/^gravelmoth (\([^)]*\)).*/\1/p' "$source/debian/changelog")"
agrees version "$version" $metainfo \
    "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$source/$metainfo" | head -n 1)"
agrees version "$version" linux/gravelmoth.6.in \
    "$(sed -n '1s/^\.TH .*"Gravelmoth \([^"]*\)".*/\1/p' "$source/linux/gravelmoth.6.in")"

homepage=$(sed -n 's/^Homepage: *//p' "$source/debian/control")
agrees homepage "$homepage" $metainfo \
    "$(sed -n 's|.*<url type="homepage">\([^<]*\)</url>.*|\1|p' "$source/$metainfo")"

[ $status -eq 0 ] && echo "every file states version $version and homepage $homepage"
exit $status
