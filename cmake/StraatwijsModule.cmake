# straatwijs_module(<target> <prefix> SOURCES <file>... [HEADERS <file>...]
#                   [PUBLIC <lib>...] [PRIVATE <lib>...])
#
# One module, one static library. The headers beside its sources are its
# public surface, included as "<prefix>/Name.h"; the library publishes an
# include directory that holds only those (as links into the source tree),
# so code that includes a module's header without linking the module does
# not build. Headers in an internal/ folder are visible to the module's own
# sources only, as "<prefix>/internal/Name.h". Two modules in one folder
# name their HEADERS; otherwise every header of the folder is published.
function(straatwijs_module target prefix)
  cmake_parse_arguments(M "" "" "SOURCES;HEADERS;PUBLIC;PRIVATE" ${ARGN})
  add_library(${target} STATIC ${M_SOURCES})

  set(published ${CMAKE_BINARY_DIR}/include/${target})
  if(M_HEADERS)
    list(TRANSFORM M_HEADERS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    _straatwijs_link_headers(${published}/${prefix} ${M_HEADERS})
  else()
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    _straatwijs_link_headers(${published}/${prefix} ${headers})
  endif()
  target_include_directories(${target} PUBLIC ${published})

  if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/internal)
    set(private ${CMAKE_BINARY_DIR}/include-internal/${target})
    file(GLOB internal CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/internal/*.h)
    _straatwijs_link_headers(${private}/${prefix}/internal ${internal})
    target_include_directories(${target} PRIVATE ${private})
  endif()

  if(M_PUBLIC)
    target_link_libraries(${target} PUBLIC ${M_PUBLIC})
  endif()
  if(M_PRIVATE)
    target_link_libraries(${target} PRIVATE ${M_PRIVATE})
  endif()
endfunction()

# Links the headers into `to`, dropping links of headers that are gone.
function(_straatwijs_link_headers to)
  set(headers ${ARGN})
  file(GLOB stale ${to}/*.h)
  if(stale)
    file(REMOVE ${stale})
  endif()
  file(MAKE_DIRECTORY ${to})
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${to}/${name} SYMBOLIC)
  endforeach()
endfunction()
