# SQLite for a build that has no system SQLite (the mingw-w64 cross build): the amalgamation
# (sqlite3.c, sqlite3.h) as the npm package better-sqlite3 ships it in deps/sqlite3/, pinned by
# version and SHA-256. The package is downloaded once into MTO_DOWNLOAD_CACHE (shared by every
# build folder) and never committed; a cached file whose hash does not match is fetched again.
#
#   include(sqlite_amalgamation)
#   mto_add_sqlite_amalgamation(<target>)   a static C library; its sqlite3.h on the include path
#
# The compile options are chosen so that the SQL the simulated host runs behaves as it does with
# Debian 12's libsqlite3 (3.40.1), the native build's engine; docs/com.md lists what still differs.

set(MTO_SQLITE_PACKAGE_VERSION 12.4.1)
set(MTO_SQLITE_VERSION 3.50.4)  # the SQLite version inside that package (SQLITE_VERSION)
set(MTO_SQLITE_PACKAGE_URL
    https://registry.npmjs.org/better-sqlite3/-/better-sqlite3-${MTO_SQLITE_PACKAGE_VERSION}.tgz)
set(MTO_SQLITE_PACKAGE_SHA256 14398acbf00d1e8fe0a2753df7d4f15c13138e4b874f4e6e96791f65b4536d0d)
set(MTO_DOWNLOAD_CACHE ${CMAKE_CURRENT_LIST_DIR}/../build/downloads
    CACHE PATH "Folder that keeps downloaded third-party sources between builds")

# Downloads (unless cached with the right hash) and extracts the amalgamation; sets
# MTO_SQLITE_SOURCE_DIR to the folder holding sqlite3.c and sqlite3.h.
function(mto_fetch_sqlite_amalgamation)
  set(archive ${MTO_DOWNLOAD_CACHE}/better-sqlite3-${MTO_SQLITE_PACKAGE_VERSION}.tgz)
  set(source_dir ${MTO_DOWNLOAD_CACHE}/sqlite-${MTO_SQLITE_VERSION})
  set(hash "")
  if(EXISTS ${archive})
    file(SHA256 ${archive} hash)
  endif()
  if(NOT hash STREQUAL MTO_SQLITE_PACKAGE_SHA256)
    message(STATUS "Downloading ${MTO_SQLITE_PACKAGE_URL}")
    # Into a temporary name first, so that an interrupted download never passes for the archive.
    file(DOWNLOAD ${MTO_SQLITE_PACKAGE_URL} ${archive}.part
         EXPECTED_HASH SHA256=${MTO_SQLITE_PACKAGE_SHA256} TLS_VERIFY ON STATUS status)
    list(GET status 0 code)
    if(NOT code EQUAL 0)
      file(REMOVE ${archive}.part)
      list(GET status 1 why)
      message(FATAL_ERROR "Cannot download ${MTO_SQLITE_PACKAGE_URL}: ${why}")
    endif()
    file(RENAME ${archive}.part ${archive})
    file(REMOVE_RECURSE ${source_dir})
  endif()
  if(NOT EXISTS ${source_dir}/sqlite3.c OR NOT EXISTS ${source_dir}/sqlite3.h)
    # The package keeps the amalgamation as plain files (package/deps/sqlite3/).
    set(unpacked ${MTO_DOWNLOAD_CACHE}/better-sqlite3-${MTO_SQLITE_PACKAGE_VERSION}.unpacked)
    file(REMOVE_RECURSE ${unpacked})
    file(ARCHIVE_EXTRACT INPUT ${archive} DESTINATION ${unpacked}
         PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
    foreach(name sqlite3.c sqlite3.h)
      if(NOT EXISTS ${unpacked}/package/deps/sqlite3/${name})
        message(FATAL_ERROR "${archive} holds no package/deps/sqlite3/${name}")
      endif()
    endforeach()
    file(REMOVE_RECURSE ${source_dir})
    file(RENAME ${unpacked}/package/deps/sqlite3 ${source_dir})
    file(REMOVE_RECURSE ${unpacked})
  endif()
  file(STRINGS ${source_dir}/sqlite3.h version_line REGEX "^#define SQLITE_VERSION[ \t]+\"")
  if(NOT version_line MATCHES "\"${MTO_SQLITE_VERSION}\"")
    message(FATAL_ERROR "${source_dir}/sqlite3.h is not SQLite ${MTO_SQLITE_VERSION}: ${version_line}")
  endif()
  set(MTO_SQLITE_SOURCE_DIR ${source_dir} PARENT_SCOPE)
endfunction()

function(mto_add_sqlite_amalgamation target)
  mto_fetch_sqlite_amalgamation()
  add_library(${target} STATIC ${MTO_SQLITE_SOURCE_DIR}/sqlite3.c)
  # SYSTEM: SQLite's header and code are not held to our warnings; -w keeps its own C quiet.
  target_include_directories(${target} SYSTEM PUBLIC ${MTO_SQLITE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -w)
  # What the SQL sees is Debian's: recursive triggers on, LIKE never matches a blob, the math
  # functions, soundex(), UPDATE/DELETE ... LIMIT, the limit on parameters, temporary tables in
  # files unless asked otherwise. No extension is ever loaded.
  target_compile_definitions(${target}
    PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_RECURSIVE_TRIGGERS
            SQLITE_LIKE_DOESNT_MATCH_BLOBS SQLITE_ENABLE_MATH_FUNCTIONS SQLITE_SOUNDEX
            SQLITE_ENABLE_UPDATE_DELETE_LIMIT SQLITE_ENABLE_COLUMN_METADATA
            SQLITE_MAX_VARIABLE_NUMBER=250000 SQLITE_TEMP_STORE=1)
  set_target_properties(${target} PROPERTIES C_STANDARD 11 C_EXTENSIONS ON)
endfunction()
