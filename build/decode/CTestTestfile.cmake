# CMake generated Testfile for 
# Source directory: /work/main/decode
# Build directory: /work/main/build/decode
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
