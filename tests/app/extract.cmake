# straatwijs --extract reads saved pages of the local postcode site.
execute_process(COMMAND ${PROGRAM} --extract 1011.html nergenshuizen.html curacaostraat-latin1.html
                WORKING_DIRECTORY ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "exit status ${rc}: ${err}")
endif()
file(READ ${DATA}/extract-expected.txt expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()

# --query and --type fill the first two columns, the query exactly as given;
# a page without a body gives a line without count or records and a message;
# a missing file is reported after the others and gives exit status 1.
execute_process(COMMAND ${PROGRAM} --extract missing.html frameset.html 1011-page1.html
                        --query "1011 " --type B
                WORKING_DIRECTORY ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "a missing file gave exit status ${rc}")
endif()
if(NOT err MATCHES "missing.html")
  message(FATAL_ERROR "no message for the missing file: ${err}")
endif()
if(NOT err MATCHES "frameset.html: the page has no body")
  message(FATAL_ERROR "no message for the page without a body: ${err}")
endif()
string(REPLACE "\t" "|" out "${out}")
if(NOT out STREQUAL "# frameset.html|\\N\n# 1011-page1.html|11\n1011 |B|1011 BM|Nieuwendijk|1|62|84|Amsterdam|11\n")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()

# Backslash, tab and line end in a value are escaped; a PRE inside the second
# cell is the third element and so shifts the house numbers onto it.
execute_process(COMMAND ${PROGRAM} --extract escapes.html --query q
                WORKING_DIRECTORY ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(REPLACE "\t" "|" out "${out}")
if(NOT out STREQUAL "# escapes.html|\\N\nq|S|1011\\\\AB|Dam\\nrak\\t1|\\N|Dam\\nrak\\t1|Dam\\nrak\\t1|2|\\N\n")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()

# A page larger than the harvester takes (8 MiB) is refused unread, with its
# own line and a message; the next file is still read.
string(REPEAT "<p>0123456789abcdef</p>" 400000 big)
file(WRITE ${WORK}/big.html "<html><body>${big}</body></html>")
execute_process(COMMAND ${PROGRAM} --extract ${WORK}/big.html 1011-page1.html --query q
                WORKING_DIRECTORY ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE ${WORK}/big.html)
string(REPLACE "\t" "|" out "${out}")
if(NOT rc EQUAL 0 OR NOT err MATCHES "big.html: the page is larger than 8 MiB"
   OR NOT out MATCHES "^# [^\n]*big.html\\|\\\\N\n# 1011-page1.html\\|11\n")
  message(FATAL_ERROR "a 9 MiB page: status ${rc}, ${err}\n${out}")
endif()
