# Writes kestrune's manual page with help2man from `kestrune --help` and `--version`, with one
# section per command made from that command's own --help, and gzips it as Debian installs
# manual pages. Run in script mode:
#   cmake -DTOOL=path/to/kestrune -DHELP2MAN=path -DOUT=dir -P man_page.cmake
set(commands info dump render bench view export demo)
set(include_text "[SEE ALSO]\n.BR kestrune-player (1)\n\n[COMMANDS]\n")
foreach(command ${commands})
  execute_process(COMMAND ${TOOL} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} ${command} --help failed")
  endif()
  # roff: backslashes written as \e, and no line may start with a control character.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND include_text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUT}/kestrune.h2m "${include_text}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section 1
    --name "inspect, render, view and export recordings of the racing game's 3D output"
    --include ${OUT}/kestrune.h2m --output ${OUT}/kestrune.1 ${TOOL}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man could not write the manual page of ${TOOL}")
endif()
execute_process(COMMAND gzip -9nf ${OUT}/kestrune.1 RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip could not compress ${OUT}/kestrune.1")
endif()
