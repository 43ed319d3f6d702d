# Run by CPack once it has made the Debian package: dpkg-deb builds the
# package again from its contents, as Debian's own packages are built. CPack
# alone gives different bytes under another umask (the modes of the archive
# members follow it); dpkg-deb sorts the files, gives them root as owner and
# clamps every time to SOURCE_DATE_EPOCH, the last commit's.
find_program(SHINDAN_DPKG_DEB dpkg-deb REQUIRED)
foreach(package ${CPACK_PACKAGE_FILES})
  set(tree ${package}.contents)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND ${SHINDAN_DPKG_DEB} --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  # The modes the files were packed with, whatever the umask of this run:
  # nothing writable but by its owner.
  execute_process(COMMAND chmod -R u+rwX,go+rX,go-w ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${package})
  execute_process(COMMAND ${SHINDAN_DPKG_DEB} --root-owner-group --build ${tree} ${package}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
