# The module must stay small enough to load quickly: at most LIMIT bytes.
file(SIZE "${FILE}" size)
message(STATUS "${FILE}: ${size} bytes (limit ${LIMIT})")
if(size GREATER LIMIT)
  message(FATAL_ERROR "the module is ${size} bytes, more than ${LIMIT}")
endif()
