# SPDX-License-Identifier: MIT
# What `cmake --install` adds besides the libraries and headers: the CMake
# package (Zorvan::zorvan, Zorvan::zorvan_static, Zorvan::render,
# Zorvan::render_static, and with the photo library Zorvan::photo and
# Zorvan::photo_static, with the video library Zorvan::video and
# Zorvan::video_static) with its version file, and pkg-config files for
# each library.
install(EXPORT ZorvanTargets NAMESPACE Zorvan::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zorvan)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZorvanConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZorvanConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zorvan)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZorvanConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZorvanConfig.cmake
  ${PROJECT_BINARY_DIR}/ZorvanConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zorvan)

# Relocatable: the prefix is found from the .pc file's own folder, so an
# install with `cmake --install --prefix` anywhere works.
file(RELATIVE_PATH ZORVAN_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
set(pcs zorvan zorvan-render)
if(ZORVAN_HAS_PHOTO)
  list(APPEND pcs zorvan-photo)
endif()
if(ZORVAN_HAS_VIDEO)
  list(APPEND pcs zorvan-video)
endif()
foreach(pc ${pcs})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
