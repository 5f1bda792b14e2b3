#!/bin/sh
# check_members.sh SOURCE_DIR: fails when product code has a public mutable data member outside a
# plain record, a dynamic_cast, or an input that reaches into another protocol's codec. Parts
# are asked and told through methods; only records (declared as struct: a datagram, a playlist
# entry, a snapshot) keep public fields.
# -v lists every member found, records included.
set -u
verbose=0
[ "${1:-}" = "-v" ] && { verbose=1; shift; }
cd "$1" || exit 2
folders="core playback remote widgets playlist app tools"
status=0

casts=$(grep -rn --include='*.h' --include='*.cpp' 'dynamic_cast' $folders)
if [ -n "$casts" ]; then
    echo "$casts" | sed 's/^/dynamic_cast: /'
    status=1
fi

# OSC commands are commands of their own, never binary datagrams.
codec=$(grep -n 'CNetDatagram' remote/COscServer.h remote/COscServer.cpp)
if [ -n "$codec" ]; then
    echo "$codec" | sed 's/^/OSC server uses the datagram codec: /'
    status=1
fi

# One member declaration per line, as clang-format leaves them. Scopes are followed by their
# braces: a class starts private, a struct public; any other brace (namespace, enum, function
# body, initialiser) is a scope with no members of interest.
members=$(find $folders -name '*.h' | sort | xargs awk -v verbose=$verbose '
function kind_of(line) {
    if (line ~ /^[ \t]*(class|struct)[ \t]+[A-Za-z_][A-Za-z_0-9]*[^;(]*\{[ \t]*$/ ||
        line ~ /^[ \t]*(class|struct)[ \t]+[A-Za-z_][A-Za-z_0-9]*[^;(]*$/ && line !~ /;/)
        return line ~ /^[ \t]*struct/ ? "struct" : "class"
    return "other"
}
FNR == 1 { depth = 0; pending = ""; parens = 0 }
{
    line = $0
    sub(/\/\/.*/, "", line)
    # The rest of a parameter list that began on an earlier line.
    inParams = parens > 0
    opened = gsub(/\(/, "(", line)
    parens += opened - gsub(/\)/, ")", line)
    if (line ~ /^[ \t]*(class|struct)[ \t]+[A-Za-z_]/ && line !~ /;[ \t]*$/)
        pending = kind_of(line)
    if (depth > 0 && kind[depth] != "other" && line ~ /^[ \t]*(public|protected|private)[ \t]*:/) {
        access[depth] = line
        sub(/^[ \t]*/, "", access[depth])
        sub(/[ \t]*:.*/, "", access[depth])
    } else if (!inParams && depth > 0 && kind[depth] != "other" && access[depth] == "public" &&
               line ~ /;[ \t]*$/ && line !~ /^[ \t]*(static|using|typedef|friend|enum|class|struct|union|template|return|virtual|explicit|constexpr|inline|operator|Q_[A-Z_]+)/) {
        decl = line
        # Initialisers and template arguments say nothing about the declarator.
        sub(/[ \t]*=.*/, "", decl)
        sub(/\{.*/, "", decl)
        while (decl ~ /<[^<>]*>/)
            gsub(/<[^<>]*>/, "", decl)
        if (decl !~ /\(/ && decl !~ /operator/ && decl ~ /[A-Za-z_][A-Za-z_0-9]*(\[[^]]*\])*[ \t]*;?[ \t]*$/ &&
            decl ~ /[A-Za-z_0-9>*&][ \t*&]+[A-Za-z_][A-Za-z_0-9]*/ &&
            decl !~ /^[ \t]*const[ \t]/ && decl !~ /\*[ \t]*const[ \t]/) {
            sub(/^[ \t]*/, "", decl)
            if (kind[depth] == "class" || verbose)
                printf "%s:%d: %s %s: %s\n", FILENAME, FNR, kind[depth], name[depth], decl
        }
    }
    n = length(line)
    for (i = 1; i <= n; ++i) {
        c = substr(line, i, 1)
        if (c == "{") {
            ++depth
            kind[depth] = pending == "" ? "other" : pending
            access[depth] = pending == "struct" ? "public" : "private"
            name[depth] = ""
            if (pending != "") {
                nm = line
                sub(/^[ \t]*(class|struct)[ \t]+/, "", nm)
                sub(/[^A-Za-z_0-9].*/, "", nm)
                name[depth] = nm
            }
            pending = ""
        } else if (c == "}") {
            if (depth > 0)
                --depth
        }
    }
}')
if [ -n "$members" ]; then
    if [ $verbose -eq 1 ]; then
        echo "$members"
    else
        echo "$members" | sed 's/^/public mutable field: /'
        status=1
    fi
fi
[ $status -eq 0 ] && echo "members: no public mutable fields outside records, no dynamic_cast, no codec in OSC"
exit $status
