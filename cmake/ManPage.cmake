# Writes tonefade-host.1 from the program's own usage texts: the list of commands, then
# each command's --help, so that the page and --help never disagree.
# cmake -DHOST=path -DOUT=file -DVERSION=x.y.z -DDOCDIR=share/doc/tonefade -DBUNDLE=... -P ManPage.cmake

function(usage_of out)
  execute_process(COMMAND ${HOST} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${HOST} ${ARGN} --help failed (${rc})")
  endif()
  # Text between .nf and .fi: only backslashes and lines opening with a dot need escapes.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

usage_of(program)
# The commands are the lines "  name  summary" under "Commands:".
string(REGEX MATCH "Commands:\n(.*)\n\n" block "${program}")
string(REGEX MATCHALL "\n  [a-z][a-z-]*" names "\n${CMAKE_MATCH_1}")
string(REGEX REPLACE "\n  " "" names "${names}")

string(TIMESTAMP today "%Y-%m-%d" UTC)
set(page ".TH TONEFADE-HOST 1 \"${today}\" \"Tonefade ${VERSION}\" \"User Commands\"
.SH NAME
tonefade-host \\- render video through the Tonefade plug-in, or open its settings dialog
.SH SYNOPSIS
.B tonefade-host
.I COMMAND
[\\fIOPTIONS\\fR]
.SH DESCRIPTION
Tonefade turns the part of the picture inside a rectangle towards black and white by an
amount, easing in and out over the fades at the ends of the clip.
.B tonefade-host
loads the plug-in bundle, reads a clip with FFmpeg's libraries, hands the plug-in every
frame as a video editor would, and writes the result.
.PP
.nf
${program}.fi
")
foreach(name ${names})
  usage_of(text ${name})
  string(TOUPPER "${name}" title)
  string(APPEND page ".SH ${title}\n.nf\n${text}.fi\n")
endforeach()
string(APPEND page ".SH FILES
.TP
.I <prefix>/${BUNDLE}
the plug-in bundle the host loads when no \\-\\-plugin is given; it holds the manual,
.I Contents/Resources/manual.pdf
.TP
.I $XDG_CONFIG_HOME/tonefade/Preferences/vardo-Prefs
the plug-in's settings (\\-\\-prefs-dir names another folder)
.SH SEE ALSO
.BR ffmpeg (1),
.BR parallel (1);
the host's guide and the manual in
.IR <prefix>/${DOCDIR} .
")
file(WRITE ${OUT} "${page}")
