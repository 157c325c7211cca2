# Turns the user guide of README.md (from its start comment to its end mark)
# into the plain text of the zip's README.txt: no pictures, no Markdown marks,
# headings underlined, code blocks indented.  The caller passes the version
# (-v version=...), which replaces "<version>".
BEGIN {
    title = "Mirelle " version
    line = title; gsub(/./, "=", line)
    print title; print line; print ""
}
END { print ""; print "The licence is in LICENSE.txt, next to this file." }
/^<!-- The user guide runs from here/ { inside = 1; comment = 1 }
/^<!-- End of the user guide/ { inside = 0 }
!inside { next }
comment { if ($0 ~ /-->/) comment = 0; next }
/^!\[/ { next }
/^```/ { code = !code; next }
code { print "    " $0; next }
/^## / {
    title = substr($0, 4)
    line = title; gsub(/./, "-", line)
    print title; print line; next
}
{
    gsub(/\*\*/, ""); gsub(/`/, ""); gsub(/\*/, "")
    gsub(/<version>/, version)
    print
}
