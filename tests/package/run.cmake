# The installed kit as its users meet it:
#  1. the library's component alone (xrkit): its package files mention no dependency, a C
#     program builds against it with find_package(xrkit) and with pkg-config, and runs;
#     the library needs nothing but the C library;
#  2. everything, the reference host included: the example extension and its test build
#     with find_package(xrkit COMPONENTS xrhost) and with pkg-config, and the test passes.
# Variables: BINARY_DIR, SOURCE_DIR (tests/package), EXAMPLE_DIR, WORK_DIR, GENERATOR,
# C_COMPILER, CXX_COMPILER, LOADER_SEARCHES_BUILD_TREE.
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGV}\n${out}")
  endif()
  message("${out}")
endfunction()

# The pkg-config flags of packages in prefix, as a list.
function(pkg_flags prefix out)
  file(GLOB pc_dirs ${prefix}/*/pkgconfig ${prefix}/lib/*/pkgconfig)
  string(JOIN ":" path ${pc_dirs})
  set(ENV{PKG_CONFIG_PATH} "${path}")
  execute_process(COMMAND pkg-config --cflags --libs ${ARGN} OUTPUT_VARIABLE flags
    ERROR_VARIABLE err RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config ${ARGN}: ${err}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

# The directory of the installed libxrkit.so.9 under prefix.
function(installed_libdir prefix out)
  file(GLOB_RECURSE lib ${prefix}/libxrkit.so.9)
  list(LENGTH lib n)
  if(NOT n EQUAL 1)
    message(FATAL_ERROR "${prefix} holds ${n} libxrkit.so.9")
  endif()
  get_filename_component(dir ${lib} DIRECTORY)
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# ---- 1. the library alone --------------------------------------------------
set(core ${WORK_DIR}/core)
run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${core} --component xrkit)
file(GLOB_RECURSE package_files ${core}/*Targets*.cmake ${core}/*.pc)
foreach(f IN LISTS package_files)
  file(READ ${f} text)
  if(text MATCHES "ICU|icu-|xrhost")
    message(FATAL_ERROR "the library's package file ${f} reaches beyond the library")
  endif()
endforeach()
file(GLOB_RECURSE host_files ${core}/libxrhost* ${core}/xrhost.pc ${core}/include/xrhost/*)
if(host_files)
  message(FATAL_ERROR "the component xrkit installs the reference host: ${host_files}")
endif()
installed_libdir(${core} core_lib)

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${core} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)

pkg_flags(${core} flags xrkit)
run(${C_COMPILER} ${SOURCE_DIR}/consumer.c ${flags} -Wl,-rpath,${core_lib} -o ${WORK_DIR}/consumer_pc)
run(${WORK_DIR}/consumer_pc)

execute_process(COMMAND readelf -d ${core_lib}/libxrkit.so.9 OUTPUT_VARIABLE dyn)
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dyn}")
foreach(lib IN LISTS needed)
  if(NOT lib MATCHES "libc\\.so|ld-linux")
    message(FATAL_ERROR "libxrkit.so needs ${lib}")
  endif()
endforeach()

# ---- 2. the extension author's kit -----------------------------------------
set(kit ${WORK_DIR}/kit)
run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${kit})
installed_libdir(${kit} kit_lib)

# With CMake the test program's run path leads to the installed library. A loader that
# still looks in the build tree first would load a second copy there, so it is told.
run(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK_DIR}/example -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_PREFIX_PATH=${kit} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/example)
if(LOADER_SEARCHES_BUILD_TREE)
  set(ENV{XRKIT_LIBRARY} ${kit_lib}/libxrkit.so.9)
endif()
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/example ctest --output-on-failure)

# With pkg-config, as a Makefile would; run with the library's directory on the search
# path and its file named explicitly.
pkg_flags(${kit} c_flags xrkit)
pkg_flags(${kit} cxx_flags xrhost xrkit)
set(bin ${WORK_DIR}/example_pc)
file(MAKE_DIRECTORY ${bin})
run(${C_COMPILER} -fPIC -shared ${EXAMPLE_DIR}/textcheck.c ${c_flags} -o ${bin}/libtextcheck.so)
run(${CXX_COMPILER} -std=c++17 -I${EXAMPLE_DIR} ${EXAMPLE_DIR}/textcheck_test.cpp
    -L${bin} -ltextcheck ${cxx_flags} -Wl,-rpath,${bin} -o ${bin}/textcheck_test)
set(ENV{LD_LIBRARY_PATH} ${kit_lib})
set(ENV{XRKIT_LIBRARY} ${kit_lib}/libxrkit.so.9)
run(${bin}/textcheck_test)
