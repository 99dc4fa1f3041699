# A package that a test suite needs is required in the native test build: configuration stops
# with the Debian package to install, rather than the suite silently disappearing.
function(tessera_require_package found description debian_package)
  if(NOT ${found})
    message(FATAL_ERROR
      "${description} is missing: the tests need the Debian package ${debian_package} "
      "(scripts/install-packages.sh test installs it)")
  endif()
endfunction()
