# The copyright file in Debian's machine-readable format: note2md's own
# licence and ICU's, whose code and data are inside the binary.

# A licence text as a field's continuation lines: each line indented by one
# blank, an empty line written " .".
function(note2md_indent_license text out)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REGEX REPLACE "[ \t]+\n" "\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(text " ${text}\n")
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  # Twice, for blank lines that follow each other.
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(note2md_copyright_file output license icu_license icu_version)
  file(READ ${license} own)
  file(READ ${icu_license} icu)
  note2md_indent_license("${own}" own)
  note2md_indent_license("${icu}" icu)
  file(WRITE ${output} "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: note2md
Comment: The note2md binary has ICU ${icu_version} linked into it, with the part
 of ICU's data that note2md uses. ICU's licence and notices are the License
 paragraph named ICU below.

Files: *
Copyright: 2026 the note2md developers
License: MIT
${own}
License: ICU
${icu}")
endfunction()
