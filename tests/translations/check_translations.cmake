# cmake -DLUPDATE=... -DLUPDATE_OPTIONS=a|b|... -DTS_FILE=... -DSOURCE_LIST=... -DWORK_DIR=...
#       -P check_translations.cmake
# Fails when lupdate, run on a copy of the .ts, finds a text without its English or a .ts
# that differs from what the sources say.
cmake_policy(SET CMP0007 NEW)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(copy "${WORK_DIR}/korvex2_en.ts")
file(COPY_FILE "${TS_FILE}" "${copy}")
string(REPLACE "|" ";" options "${LUPDATE_OPTIONS}")
execute_process(
    COMMAND "${LUPDATE}" ${options} "@${SOURCE_LIST}" -ts "${copy}"
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${said}")
endif()
file(READ "${copy}" updated)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\">"
       unfinished "${updated}")
if(unfinished)
    list(LENGTH unfinished count)
    string(REPLACE ";" "\n" listed "${unfinished}")
    message(FATAL_ERROR "${count} text(s) without English in ${TS_FILE}:\n${listed}")
endif()
file(READ "${TS_FILE}" committed)
if(NOT updated STREQUAL committed)
    message(FATAL_ERROR "${TS_FILE} is not up to date with the sources: build the target "
                        "korvex_gui_lupdate and commit the .ts")
endif()
message(STATUS "every text of ${TS_FILE} has its English")
