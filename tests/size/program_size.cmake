# Strips a copy of PROGRAM with STRIP and fails when the copy is larger than
# LIMIT bytes: operators download the program stripped, and it must stay
# under one MiB. Run as: cmake -DPROGRAM=... -DSTRIP=... -DCOPY=... -DLIMIT=...
#                        -P program_size.cmake
foreach(input PROGRAM STRIP COPY LIMIT)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "program_size.cmake needs -D${input}=...")
  endif()
endforeach()

execute_process(COMMAND "${STRIP}" -o "${COPY}" "${PROGRAM}" RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
  message(FATAL_ERROR "${STRIP} failed on ${PROGRAM}: ${stripped}")
endif()

file(SIZE "${COPY}" size)
get_filename_component(name "${PROGRAM}" NAME)
message(NOTICE "size: ${name} stripped ${size} bytes (limit ${LIMIT})")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name} is ${size} bytes stripped, above the limit of ${LIMIT}")
endif()
