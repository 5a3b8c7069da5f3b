# `cmake --build <dir> --target format` rewrites every C++ file with the root .clang-format.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
  file(GLOB_RECURSE QUORVEX_FORMAT_FILES CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*.h
       ${PROJECT_SOURCE_DIR}/core/*.cpp ${PROJECT_SOURCE_DIR}/core/*.h
       ${PROJECT_SOURCE_DIR}/platform/*.cpp ${PROJECT_SOURCE_DIR}/platform/*.h
       ${PROJECT_SOURCE_DIR}/translation/*.cpp ${PROJECT_SOURCE_DIR}/translation/*.h
       ${PROJECT_SOURCE_DIR}/serial/*.cpp ${PROJECT_SOURCE_DIR}/serial/*.h
       ${PROJECT_SOURCE_DIR}/net/*.cpp ${PROJECT_SOURCE_DIR}/net/*.h
       ${PROJECT_SOURCE_DIR}/ui/*.cpp ${PROJECT_SOURCE_DIR}/ui/*.h
       ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
       ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
       ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  add_custom_target(format
    COMMAND ${CLANG_FORMAT_EXE} -i --style=file ${QUORVEX_FORMAT_FILES}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "clang-format on every C++ file")
else()
  add_custom_target(format COMMAND ${CMAKE_COMMAND} -E echo "clang-format not found")
endif()
