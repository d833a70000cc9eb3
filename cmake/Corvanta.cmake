# Build helpers shared by every folder of the tree.
#
# Each source folder is one small static library ("module") named after its path
# (core/text -> core_text). Modules name the modules they need; the umbrella
# targets `core` and `service` link all modules of their subsystem.
# Tests mirror the source tree: tests/core/text -> test_core_text.

include_guard(GLOBAL)

# Adds every direct child folder of the current folder that has a CMakeLists.txt.
function(corvanta_add_subdirectories)
    file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*")
    list(SORT children)
    foreach(child IN LISTS children)
        if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
            add_subdirectory("${child}")
        endif()
    endforeach()
endfunction()

# Target name for the current folder: path below the source root, "/" -> "_".
function(corvanta_folder_target_name out prefix)
    file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
    if(prefix STREQUAL "test_")
        string(REGEX REPLACE "^tests/" "" rel "${rel}")
    endif()
    string(REPLACE "/" "_" name "${rel}")
    set(${out} "${prefix}${name}" PARENT_SCOPE)
endfunction()

# corvanta_module([NAME name] [DEPS target...] [PUBLIC_LIBS lib...] [EXCLUDE file...])
# A static library made of every *.cpp of the current folder.
function(corvanta_module)
    cmake_parse_arguments(M "" "NAME" "DEPS;PUBLIC_LIBS;EXCLUDE" ${ARGN})
    if(NOT M_NAME)
        corvanta_folder_target_name(M_NAME "")
    endif()
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    foreach(ex IN LISTS M_EXCLUDE)
        list(REMOVE_ITEM sources "${CMAKE_CURRENT_SOURCE_DIR}/${ex}")
    endforeach()
    if(NOT sources)
        # A folder of headers only (or one whose sources are still being written).
        add_library(${M_NAME} INTERFACE)
        target_include_directories(${M_NAME} INTERFACE "${PROJECT_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/generated")
        target_link_libraries(${M_NAME} INTERFACE ${M_DEPS} ${M_PUBLIC_LIBS} corvanta_options)
    else()
        add_library(${M_NAME} STATIC ${sources})
        target_include_directories(${M_NAME} PUBLIC "${PROJECT_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/generated")
        target_link_libraries(${M_NAME} PUBLIC ${M_DEPS} ${M_PUBLIC_LIBS} corvanta_options)
    endif()
    set_property(GLOBAL APPEND PROPERTY CORVANTA_MODULES ${M_NAME})
    set(CORVANTA_LAST_MODULE ${M_NAME} PARENT_SCOPE)
endfunction()

# corvanta_test([NAME name] DEPS target... [SOURCES file...])
# One GoogleTest program of every *_test.cpp of the current folder (or SOURCES).
function(corvanta_test)
    cmake_parse_arguments(T "" "NAME" "DEPS;SOURCES" ${ARGN})
    if(NOT T_NAME)
        corvanta_folder_target_name(T_NAME "test_")
    endif()
    if(T_SOURCES)
        set(sources ${T_SOURCES})
    else()
        file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    endif()
    if(NOT sources)
        message(STATUS "${T_NAME}: no test sources yet")
        return()
    endif()
    add_executable(${T_NAME} ${sources})
    target_include_directories(${T_NAME} PRIVATE "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/tests")
    target_link_libraries(${T_NAME} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main corvanta_options)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/tests")
    target_compile_definitions(${T_NAME} PRIVATE
        CORVANTA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        CORVANTA_BINARY_DIR="${PROJECT_BINARY_DIR}"
        CORVANTA_PROGRAM_DIR="${CORVANTA_PROGRAM_DIR}")
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${T_NAME}."
        WORKING_DIRECTORY "${PROJECT_BINARY_DIR}/tests"
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    set(CORVANTA_LAST_TEST ${T_NAME} PARENT_SCOPE)
endfunction()

# corvanta_fuzz(NAME name SOURCES file... DEPS target...)
# A libFuzzer target; only built in the fuzz configuration (clang, CORVANTA_FUZZ=ON).
function(corvanta_fuzz)
    cmake_parse_arguments(F "" "NAME" "DEPS;SOURCES" ${ARGN})
    if(NOT CORVANTA_FUZZ)
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_include_directories(${F_NAME} PRIVATE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${F_NAME} PRIVATE ${F_DEPS} corvanta_options)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzz")
    set_property(GLOBAL APPEND PROPERTY CORVANTA_FUZZERS ${F_NAME})
endfunction()

# corvanta_benchmark(NAME name SOURCES file... DEPS target...)
function(corvanta_benchmark)
    cmake_parse_arguments(B "" "NAME" "DEPS;SOURCES" ${ARGN})
    if(NOT TARGET benchmark::benchmark)
        return()
    endif()
    add_executable(${B_NAME} ${B_SOURCES})
    target_include_directories(${B_NAME} PRIVATE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${B_NAME} PRIVATE ${B_DEPS} benchmark::benchmark corvanta_options)
    set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bench")
endfunction()
