# Error system of the run time: internal error records, call stacks and the
# international settings. Call stacks are read with libbacktrace (part of the
# compiler's support libraries) from the debug information.
target_sources(rv_runtime PRIVATE error_record.cpp callstack.cpp international.cpp program_info.cpp)
set_source_files_properties(callstack.cpp PROPERTIES
  COMPILE_DEFINITIONS "RV_SOURCE_ROOT=\"${CMAKE_SOURCE_DIR}/\"")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libbacktrace.a
  OUTPUT_VARIABLE rv_backtrace_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${rv_backtrace_lib}" AND EXISTS "${rv_backtrace_lib}")
  get_filename_component(rv_backtrace_dir ${rv_backtrace_lib} DIRECTORY)
  # Searched after the system folders, so the compiler's own headers win.
  set_property(SOURCE callstack.cpp APPEND PROPERTY COMPILE_OPTIONS -idirafter ${rv_backtrace_dir}/include)
  target_link_libraries(rv_runtime PUBLIC ${rv_backtrace_lib})
else()
  message(WARNING "libbacktrace not found: error call stacks will be empty")
endif()
