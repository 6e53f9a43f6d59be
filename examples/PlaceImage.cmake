# Puts one example image into the program folder, unless an image of the
# user's stands there under its name.
#   cmake -DEXAMPLE=<build>/examples/<name>.hex -DPROGRAM_DIR=<folder> -P PlaceImage.cmake
# The file there is written when it is missing, or when it is the example
# this step itself wrote there before: that copy is kept beside EXAMPLE as
# placed/<name> and compared by content, so a file the user copied in or
# edited, whatever its time stamp, and a link the user made count as the
# user's. The user's file is kept, and the build says so once for each
# version of it and of the example. The file is replaced through a temporary
# file and a rename.
cmake_minimum_required(VERSION 3.25)
get_filename_component(name "${EXAMPLE}" NAME)
get_filename_component(folder "${EXAMPLE}" DIRECTORY)
set(target "${PROGRAM_DIR}/${name}")
set(record "${folder}/placed/${name}")
set(told "${record}.kept")
file(MAKE_DIRECTORY "${folder}/placed")

file(SHA256 "${EXAMPLE}" example)
if(IS_SYMLINK "${target}" OR IS_DIRECTORY "${target}")
  set(current "link or folder")
elseif(NOT EXISTS "${target}")
  set(current "")
else()
  file(SHA256 "${target}" current)
endif()
set(written "")
if(EXISTS "${record}")
  file(SHA256 "${record}" written)
endif()

if(current STREQUAL example)
  # The example already, however it got there: the build's to refresh.
  file(COPY_FILE "${EXAMPLE}" "${record}" ONLY_IF_DIFFERENT)
  file(REMOVE "${told}")
elseif(current STREQUAL "" OR current STREQUAL written)
  file(COPY_FILE "${EXAMPLE}" "${PROGRAM_DIR}/.${name}.new")
  file(RENAME "${PROGRAM_DIR}/.${name}.new" "${target}")
  file(COPY_FILE "${EXAMPLE}" "${record}")
  file(REMOVE "${told}")
  message(STATUS "Wrote the example ${name} to ${PROGRAM_DIR}")
else()
  set(state "${current} ${example}")
  set(before "")
  if(EXISTS "${told}")
    file(READ "${told}" before)
  endif()
  if(NOT before STREQUAL state)
    message(NOTICE "Kept your own ${target}: it is not the example image that the build wrote there, so the "
                   "example ${name} does not replace it (remove it to have the example written again).")
    file(WRITE "${told}" "${state}")
  endif()
endif()
