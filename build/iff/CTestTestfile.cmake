# CMake generated Testfile for 
# Source directory: /work/main/iff
# Build directory: /work/main/build/iff
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
