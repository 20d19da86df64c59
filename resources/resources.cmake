# Adds Marovendel's manifest, icon and version record to the Marovendel
# executable.
# Included from the top-level CMakeLists.txt after the target is defined.
enable_language(RC)

set(MAROVENDEL_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/marovendel.rc)
target_sources(Marovendel PRIVATE ${MAROVENDEL_RESOURCE_SCRIPT})

# The resource compiler runs in the build directory, so put this folder on
# its include path for the RT_MANIFEST and ICON statements to find their
# files, and rebuild the resources whenever one of them changes.
set_source_files_properties(${MAROVENDEL_RESOURCE_SCRIPT} PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_CURRENT_LIST_DIR}
    OBJECT_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/marovendel.ico;${CMAKE_CURRENT_LIST_DIR}/marovendel.manifest")
