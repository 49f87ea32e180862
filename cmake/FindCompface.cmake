# Finds the compface library (Debian: libcompfaceg1-dev) and defines the
# imported target Compface::Compface.
find_path(Compface_INCLUDE_DIR NAMES compface.h)
find_library(Compface_LIBRARY NAMES compface)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Compface REQUIRED_VARS Compface_LIBRARY Compface_INCLUDE_DIR)

if(Compface_FOUND AND NOT TARGET Compface::Compface)
  add_library(Compface::Compface UNKNOWN IMPORTED)
  set_target_properties(Compface::Compface PROPERTIES
    IMPORTED_LOCATION "${Compface_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Compface_INCLUDE_DIR}")
endif()
mark_as_advanced(Compface_INCLUDE_DIR Compface_LIBRARY)
