# Runs the built hwid-inspect next to hwid: the identifiers it reports for this machine are what
# hwid prints, and each command answers on the right stream with the right exit status.
# Usage: cmake -DHWID=<hwid> -DINSPECT=<hwid-inspect> [-DEMULATOR=<runner>] -DWORK_DIR=<dir>
#        -DVERSION=<project version> [-DRULE=<selection rule expected here>]
#        [-DMACHINE_ONLY=ON] -P programs_test.cmake
# MACHINE_ONLY stops after this machine's report, for callers that run it once per machine state
# while the commands are checked elsewhere.

cmake_minimum_required(VERSION 3.25)

set(failures 0)

# Runs a program; Windows programs write line ends as CR LF, which compare as LF here.
function(run_program out_var err_var status_var)
  cmake_parse_arguments(PARSE_ARGV 3 run "" "INPUT_FILE" "")
  set(input)
  if(run_INPUT_FILE)
    set(input INPUT_FILE ${run_INPUT_FILE})
  endif()
  execute_process(COMMAND ${EMULATOR} ${run_UNPARSED_ARGUMENTS} ${input}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  string(REPLACE "\r\n" "\n" out "${out}")
  string(REPLACE "\r\n" "\n" err "${err}")
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
  set(${status_var} "${status}" PARENT_SCOPE)
endfunction()

function(fail name message)
  message(SEND_ERROR "${name}: ${message}")
endfunction()

# check(NAME n STATUS s [OUT exact-stdout] [ERR_HAS text] [INPUT_FILE f] ARGS ...)
# Without OUT, standard output must be empty; without ERR_HAS, standard error.
function(check)
  cmake_parse_arguments(PARSE_ARGV 0 case "" "NAME;STATUS;OUT;ERR_HAS;INPUT_FILE" "ARGS")
  set(input)
  if(case_INPUT_FILE)
    set(input INPUT_FILE ${case_INPUT_FILE})
  endif()
  run_program(out err status ${INSPECT} ${case_ARGS} ${input})
  if(NOT status STREQUAL case_STATUS)
    fail(${case_NAME} "exit status ${status}, expected ${case_STATUS}\n${out}${err}")
  endif()
  if(NOT out STREQUAL "${case_OUT}")
    fail(${case_NAME} "standard output was\n[${out}]\nexpected\n[${case_OUT}]")
  endif()
  if(DEFINED case_ERR_HAS)
    string(FIND "${err}" "${case_ERR_HAS}" found)
    if(found EQUAL -1)
      fail(${case_NAME} "standard error lacks [${case_ERR_HAS}]:\n${err}")
    endif()
  elseif(NOT err STREQUAL "")
    fail(${case_NAME} "standard error was not empty:\n${err}")
  endif()
endfunction()

# This machine, as hwid prints it in its three modes and as hwid-inspect explains it.
run_program(bare ignored status ${HWID})
run_program(legacy ignored status ${HWID} oldtrial)
run_program(current ignored status ${HWID} anything)
run_program(json err status ${INSPECT} --json)
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  fail(machine-json "exit status ${status}, standard error [${err}]")
endif()
foreach(pair "bare;${bare}" "legacy;${legacy}" "current;${current}")
  list(GET pair 0 layout)
  list(GET pair 1 expected)
  string(JSON reported GET "${json}" identifiers ${layout})
  if(NOT reported STREQUAL expected)
    fail(machine-json "${layout}: hwid-inspect reports [${reported}], hwid prints [${expected}]")
  endif()
endforeach()
string(JSON rule GET "${json}" rule)
if(RULE AND NOT rule STREQUAL RULE)
  fail(machine-json "selection rule ${rule}, expected ${RULE}")
endif()
run_program(text err status ${INSPECT})
foreach(line "hwid           ${bare}\n" "hwid oldtrial  ${legacy}\n" "hwid WORD      ${current}\n")
  string(FIND "${text}" "${line}" found)
  if(found EQUAL -1 OR NOT status EQUAL 0)
    fail(machine-text "the report lacks [${line}] (exit status ${status}):\n${text}")
  endif()
endforeach()

# hwid's output piped in: what an identifier of this machine decodes to.
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/current.txt "${current}")
run_program(decoded err status ${INSPECT} decode - INPUT_FILE ${WORK_DIR}/current.txt)
if(NOT status EQUAL 0 OR NOT decoded MATCHES "^layout     (current|either)")
  fail(machine-decode "exit status ${status}:\n${decoded}${err}")
endif()
if(MACHINE_ONLY)
  return()
endif()

set(legacy_example "30541989601048485849655850665851675852685853691310")
set(current_example "305419896010\t48485849655850665851675852685853691310")
file(WRITE ${WORK_DIR}/example.txt "${legacy_example}\n")

check(NAME decode-legacy STATUS 0 ARGS decode ${legacy_example}
      OUT "layout     legacy\nserial     305419896 (signed 305419896, hex 0x12345678)\naddresses  00:1A:2B:3C:4D:5E\n")
check(NAME decode-current-json STATUS 0 ARGS decode --json "${current_example}"
      OUT "{\"valid\":true,\"layout\":\"current\",\"serial\":{\"unsigned\":305419896,\"signed\":305419896,\"hex\":\"0x12345678\"},\"addresses\":[\"00:1A:2B:3C:4D:5E\"]}\n")
check(NAME decode-standard-input STATUS 0 INPUT_FILE ${WORK_DIR}/example.txt ARGS decode -
      OUT "layout     legacy\nserial     305419896 (signed 305419896, hex 0x12345678)\naddresses  00:1A:2B:3C:4D:5E\n")
check(NAME decode-invalid STATUS 2 ARGS decode 3054198960104848x
      ERR_HAS "hwid-inspect: the text is not a valid identifier: at character 17: ")
check(NAME decode-invalid-json STATUS 2 ARGS decode --json 3054198960104848x
      OUT "{\"valid\":false,\"errorPosition\":16,\"error\":\"expected the code of a printable ASCII character (32 to 126) or the line end \\\"1310\\\"\"}\n"
      ERR_HAS "at character 17")
check(NAME compare-identical STATUS 0 ARGS compare ${legacy_example} "${current_example}"
      OUT "verdict    identical\nserial     unchanged, 305419896\ncommon     00:1A:2B:3C:4D:5E\nadded      none\nremoved    none\nlayouts    legacy, current\n")
check(NAME compare-new-serial STATUS 1 ARGS compare ${legacy_example} 101048485849655850665851675852685853691310
      OUT "verdict    same machine with changes\nserial     changed from 305419896 to 1\ncommon     00:1A:2B:3C:4D:5E\nadded      none\nremoved    none\nlayouts    legacy, legacy\n")
check(NAME compare-different-json STATUS 3 ARGS compare --json ${legacy_example} 305419896010
      OUT "{\"verdict\":\"different\",\"serialChanged\":false,\"common\":[],\"added\":[],\"removed\":[\"00:1A:2B:3C:4D:5E\"],\"first\":{\"layout\":\"legacy\",\"serial\":{\"unsigned\":305419896,\"signed\":305419896,\"hex\":\"0x12345678\"},\"addresses\":[\"00:1A:2B:3C:4D:5E\"]},\"second\":{\"layout\":\"either\",\"serial\":{\"unsigned\":305419896,\"signed\":305419896,\"hex\":\"0x12345678\"},\"addresses\":[]}}\n")
check(NAME compare-invalid STATUS 2 ARGS compare ${legacy_example} 12
      ERR_HAS "hwid-inspect: second identifier is not a valid identifier: ")
check(NAME version STATUS 0 ARGS --version OUT "hwid-inspect ${VERSION}\n")
check(NAME unknown-option STATUS 2 ARGS --verbose
      ERR_HAS "hwid-inspect: unknown option '--verbose'\nTry 'hwid-inspect --help'")
check(NAME missing-identifier STATUS 2 ARGS compare ${legacy_example}
      ERR_HAS "hwid-inspect: compare takes two identifiers\n")
run_program(help err status ${INSPECT} --help)
if(NOT status EQUAL 0 OR NOT help MATCHES "^Usage: hwid-inspect \\[--json\\]\n" OR
   NOT err STREQUAL "")
  fail(help "exit status ${status}:\n${help}${err}")
endif()
