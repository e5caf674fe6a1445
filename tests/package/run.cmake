# Installs the build into a staging prefix and builds a consumer against it twice:
# with find_package(xrkit) and with pkg-config.
set(prefix ${WORK_DIR}/stage)
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGV}\n${out}")
  endif()
  message("${out}")
endfunction()

run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)

file(GLOB_RECURSE pc_files ${prefix}/*/xrkit.pc)
list(GET pc_files 0 pc)
get_filename_component(pc_dir ${pc} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs xrkit OUTPUT_VARIABLE flags
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find xrkit")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(cc ${SOURCE_DIR}/consumer.c ${flags} -o ${WORK_DIR}/consumer_pc)
string(REGEX MATCH "-L[^ ;]+" libdir "${flags}")
string(SUBSTRING "${libdir}" 2 -1 libdir)
set(ENV{LD_LIBRARY_PATH} ${libdir})
run(${WORK_DIR}/consumer_pc)

# The installed library needs nothing but the C library.
execute_process(COMMAND readelf -d ${libdir}/libxrkit.so OUTPUT_VARIABLE dyn)
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dyn}")
foreach(lib IN LISTS needed)
  if(NOT lib MATCHES "libc\\.so|ld-linux")
    message(FATAL_ERROR "libxrkit.so needs ${lib}")
  endif()
endforeach()
