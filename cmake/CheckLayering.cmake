# Fails when a source file includes a header from a folder its library may not use, or a Qt
# module its library does not link. Run at build time over one library's files:
#   cmake -DLAYER=<name> -DALLOWED_FOLDERS=<a;b> -DALLOWED_QT=<QtCore;…> -DFILES=<f1;f2>
#         -DSTAMP=<file> -P CheckLayering.cmake
# Our folders are the first component of a quoted include ("quota/Bucket.h"); "ui/sni" counts
# as a folder of its own. Qt modules are the first component of an angle include (<QtGui/QImage>);
# bare class headers (<QImage>) already fail to compile where the module is not linked.
cmake_minimum_required(VERSION 3.22)
set(our_folders base quota activity login ui ui/sni app)
set(failures "")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*(include|import)[ \t]*[<\"][^>\"]+[>\"]")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*(include|import)[ \t]*([<\"])([^>\"]+)[>\"].*$" "\\2;\\3"
           parts "${line}")
    list(GET parts 0 delimiter)
    list(GET parts 1 header)
    if(delimiter STREQUAL "\"")
      set(folder "")
      if(header MATCHES "^ui/sni/")
        set(folder "ui/sni")
      elseif(header MATCHES "^([A-Za-z_]+)/")
        set(folder "${CMAKE_MATCH_1}")
      endif()
      if(folder IN_LIST our_folders AND NOT folder STREQUAL LAYER AND
         NOT folder IN_LIST ALLOWED_FOLDERS)
        string(APPEND failures "\n  ${file}: ${header} (${LAYER} may use: ${LAYER};${ALLOWED_FOLDERS})")
      endif()
    elseif(header MATCHES "^(Qt[A-Za-z]+)/" AND NOT CMAKE_MATCH_1 IN_LIST ALLOWED_QT)
      string(APPEND failures "\n  ${file}: <${header}> (${LAYER} links only ${ALLOWED_QT})")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Layering broken: ${failures}")
endif()
file(WRITE "${STAMP}" "")
