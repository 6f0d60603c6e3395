# jsoncpp for the compile-only Windows check: the host's headers, which are
# the same on both platforms, and no library, since nothing is linked.
find_path(JSONCPP_HEADERS json/json.h
  PATHS /usr/include /usr/local/include
  PATH_SUFFIXES jsoncpp
  NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
if(NOT TARGET JsonCpp::JsonCpp)
  add_library(JsonCpp::JsonCpp INTERFACE IMPORTED)
  set_target_properties(JsonCpp::JsonCpp PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${JSONCPP_HEADERS}")
endif()
