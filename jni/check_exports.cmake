# Checks the dynamic symbol table of the engine library (cmake -P):
#  - exactly one function Java_com_quorbit_velto_<Class>_<method> for every native method
#    declared in each Java source (Vexa.java, Native.java: the class is the file's name), and no
#    JNI function for a method the classes do not declare;
#  - every Vexa_* call declared in velto.h is exported;
#  - nothing else is exported, apart from the linker's own section markers and, on Linux, the
#    JACK calls that the engine stands in front of (engine/vx_jackguard.cpp).
# Arguments: -DLIBRARY=... -DJAVA_SOURCES=a.java|b.java -DHEADER=... -DNM=...
cmake_minimum_required(VERSION 3.24)
foreach(arg LIBRARY JAVA_SOURCES HEADER)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "check_exports: ${arg} not given")
  endif()
endforeach()
if(NOT NM)
  set(NM nm)
endif()

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE nm_output RESULT_VARIABLE nm_result ERROR_VARIABLE nm_error)
if(NOT nm_result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}: ${nm_error}")
endif()

# Native methods of the Java classes, by class; comments are dropped first, so that prose about
# native methods is not taken for a declaration.
string(REPLACE "|" ";" java_sources "${JAVA_SOURCES}")
set(classes "")
set(num_natives 0)
foreach(source ${java_sources})
  get_filename_component(class ${source} NAME_WE)
  list(APPEND classes ${class})
  file(READ ${source} java_text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" java_text "${java_text}")
  string(REGEX REPLACE "//[^\n]*" "" java_text "${java_text}")
  string(REGEX MATCHALL "native[ \t\r\n]+[A-Za-z0-9_]+(\\[\\])*[ \t\r\n]+[A-Za-z0-9_]+[ \t\r\n]*\\("
         native_decls "${java_text}")
  set(natives_${class} "")
  foreach(decl ${native_decls})
    string(REGEX REPLACE ".*[ \t\r\n]([A-Za-z0-9_]+)[ \t\r\n]*\\($" "\\1" name "${decl}")
    list(APPEND natives_${class} ${name})
  endforeach()
  list(LENGTH natives_${class} count)
  if(count EQUAL 0)
    message(FATAL_ERROR "no native method found in ${source}")
  endif()
  set(dupes ${natives_${class}})
  list(REMOVE_DUPLICATES dupes)
  list(LENGTH dupes num_unique)
  if(NOT num_unique EQUAL count)
    message(FATAL_ERROR
      "${class}.java declares an overloaded native method; each needs its own name")
  endif()
  math(EXPR num_natives "${num_natives} + ${count}")
  set(jni_seen_${class} "")
endforeach()

# Calls declared exported in the public header.
file(READ ${HEADER} header_text)
string(REGEX MATCHALL "VEXA_API[^;(]*[ *](Vexa_[A-Za-z0-9_]+)[ \t]*\\(" api_decls "${header_text}")
set(api "")
foreach(decl ${api_decls})
  string(REGEX REPLACE ".*(Vexa_[A-Za-z0-9_]+)[ \t]*\\($" "\\1" name "${decl}")
  list(APPEND api ${name})
endforeach()

set(linker_markers _init _fini _edata _end __bss_start)
# PortAudio's JACK host reaches these through the engine, which keeps a dead server from
# hanging or aborting a stop; each forwards to JACK's own.
set(jack_guard jack_on_shutdown jack_port_unregister jack_port_disconnect jack_disconnect
    jack_deactivate jack_client_close)
set(errors "")
set(num_jni 0)
set(api_seen "")
string(REPLACE "\n" ";" nm_lines "${nm_output}")
foreach(line ${nm_lines})
  if(line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    list(APPEND errors "unreadable nm line: ${line}")
    continue()
  endif()
  set(kind ${CMAKE_MATCH_1})
  set(symbol ${CMAKE_MATCH_2})
  string(REGEX REPLACE "@.*$" "" symbol "${symbol}")
  if(symbol MATCHES "^Java_com_quorbit_velto_([A-Za-z0-9]+)_(.+)$")
    set(class ${CMAKE_MATCH_1})
    set(method ${CMAKE_MATCH_2})
    # JNI escapes '_' in a method name as "_1"; an overloaded name carries "__" and a signature.
    string(REPLACE "_1" "_" method_name "${method}")
    if(NOT class IN_LIST classes OR method MATCHES "__"
       OR NOT method_name IN_LIST natives_${class})
      list(APPEND errors "JNI function without a native method: ${symbol}")
    elseif(NOT kind STREQUAL "T")
      list(APPEND errors "JNI entry point is not a text symbol (${kind}): ${symbol}")
    elseif(method_name IN_LIST jni_seen_${class})
      list(APPEND errors "JNI function exported twice: ${symbol}")
    else()
      list(APPEND jni_seen_${class} ${method_name})
      math(EXPR num_jni "${num_jni} + 1")
    endif()
  elseif(symbol MATCHES "^Vexa_")
    if(symbol IN_LIST api)
      list(APPEND api_seen ${symbol})
    else()
      list(APPEND errors "exported but not declared in velto.h: ${symbol}")
    endif()
  elseif(symbol IN_LIST linker_markers)
    # placed by the linker
  elseif(symbol IN_LIST jack_guard AND kind STREQUAL "T")
    # the JACK guard
  else()
    list(APPEND errors "unexpected export: ${symbol} (${kind})")
  endif()
endforeach()

foreach(class ${classes})
  foreach(method ${natives_${class}})
    if(NOT method IN_LIST jni_seen_${class})
      list(APPEND errors "missing JNI function for native method ${class}.${method}")
    endif()
  endforeach()
endforeach()
foreach(call ${api})
  if(NOT call IN_LIST api_seen)
    list(APPEND errors "velto.h call not exported: ${call}")
  endif()
endforeach()

list(LENGTH api_seen num_api)
list(LENGTH api num_api_declared)
message(STATUS "native methods of ${classes}: ${num_natives}, JNI functions exported: ${num_jni}")
message(STATUS "velto.h calls: ${num_api_declared}, exported: ${num_api}")
if(errors)
  list(JOIN errors "\n  " text)
  message(FATAL_ERROR "export check failed:\n  ${text}")
endif()
