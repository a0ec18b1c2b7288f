# Installs the build into a fresh prefix and checks that every installed file is there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/brindlewick bin/brindlewick-asm bin/brindlewick-sim bin/brindlewick-debugger
             share/applications/brindlewick.desktop
             share/applications/brindlewick-debugger.desktop
             share/icons/hicolor/scalable/apps/brindlewick-debugger.svg
             share/icons/hicolor/scalable/apps/brindlewick.svg
             share/brindlewick/boards/busicom-141pf.json
             share/brindlewick/boards/4004-sbc.json
             share/brindlewick/boards/4040-sbc.json
             share/brindlewick/boards/test4004.json
             share/man/man1/brindlewick-asm.1.gz share/man/man1/brindlewick-sim.1.gz
             share/man/man1/brindlewick.1.gz share/man/man1/brindlewick-debugger.1.gz
             share/metainfo/org.brindlewick.Brindlewick.metainfo.xml
             share/bash-completion/completions/brindlewick-asm
             share/bash-completion/completions/brindlewick-sim
             share/doc/brindlewick/README.md share/doc/brindlewick/asl-syntax.md)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
