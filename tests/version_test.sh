#!/bin/sh
# The project's version is set once, in CMakeLists.txt's project(VERSION); every file that
# states it must agree: the Debian changelog's newest entry, the software-centre metadata's
# newest release and the man page's header.
#   version_test.sh VERSION SOURCE-FOLDER
set -eu
version=$1 source=$2
status=0
agrees() { # agrees FILE FOUND
    if [ "$2" != "$version" ]; then
        echo "$1 says ${2:-nothing}, the project is $version"
        status=1
    fi
}

agrees debian/changelog "$(sed -n '1s/^gravelmoth (\([^)]*\)).*/\1/p' "$source/debian/changelog")"
agrees linux/org.gravelmoth.gravelmoth.metainfo.xml \
    "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
        "$source/linux/org.gravelmoth.gravelmoth.metainfo.xml" | head -n 1)"
agrees linux/gravelmoth.6 "$(sed -n '1s/^\.TH .*"Gravelmoth \([^"]*\)".*/\1/p' "$source/linux/gravelmoth.6")"
[ $status -eq 0 ] && echo "every file states version $version"
exit $status
