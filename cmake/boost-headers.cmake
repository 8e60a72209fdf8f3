# Boost's header-only containers (unordered_flat_map), from Debian's
# libboost-dev. The MinGW builds search only their own root, so there the
# host's headers are reached through a folder that holds nothing else.
if(CMAKE_CROSSCOMPILING)
  find_path(QUIL_BOOST_HEADERS boost/unordered/unordered_flat_map.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(QUIL_BOOST_ONLY ${CMAKE_BINARY_DIR}/boost-only)
  file(MAKE_DIRECTORY ${QUIL_BOOST_ONLY})
  file(CREATE_LINK ${QUIL_BOOST_HEADERS}/boost ${QUIL_BOOST_ONLY}/boost SYMBOLIC)
  add_library(boost_headers INTERFACE)
  target_include_directories(boost_headers SYSTEM INTERFACE ${QUIL_BOOST_ONLY})
else()
  find_package(Boost 1.81 REQUIRED)
  add_library(boost_headers INTERFACE)
  target_link_libraries(boost_headers INTERFACE Boost::headers)
endif()
