# CMake generated Testfile for 
# Source directory: /work/main
# Build directory: /work/main/build
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
subdirs("front")
subdirs("workspace")
subdirs("server")
subdirs("dbclient")
subdirs("repository")
subdirs("actions")
subdirs("tools")
subdirs("tests")
subdirs("bench")
