# How the project's own targets are put together.

# kelvane_layer(TARGET VISIBILITY FOLDER): TARGET's headers are FOLDER's (a folder of the source
# tree, e.g. "schema" or "tests/support"), included as "NAME/header.h" with NAME the folder's
# last part. The include directory holds only that folder (a link to it), not the source root,
# so a target sees the headers of exactly the layers it links and the build enforces the
# layering: #include "schema/mysql_access.h" does not compile in the generators.
function(kelvane_layer target visibility folder)
  get_filename_component(name ${folder} NAME)
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${name} SYMBOLIC)
  endif()
  target_include_directories(${target} ${visibility} ${root})
endfunction()

# kelvane_own_flags(DIR): warnings (as errors with KELVANE_WERROR) and, with KELVANE_SANITIZE,
# AddressSanitizer and UndefinedBehaviorSanitizer for every target defined in DIR and in its
# subdirectories inside the source tree; third-party projects added from elsewhere
# (GoogleTest in the Windows build) and external builds (Connector/C) keep their own flags.
function(kelvane_own_flags dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    if(MSVC)
      target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${KELVANE_WERROR}>:/WX>)
    else()
      target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${KELVANE_WERROR}>:-Werror>)
    endif()
    if(KELVANE_SANITIZE)
      target_compile_options(${target} PRIVATE -fsanitize=address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
      target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${subdir}" NORMALIZE inside)
    if(inside)
      kelvane_own_flags(${subdir})
    endif()
  endforeach()
endfunction()
