# The loopback through a kernel IR device (kernel_ir_loopback.h): used by
# qev_bench and by the kernel IR tests, each of which may be built without
# the other, so whichever comes first defines it.
if(NOT TARGET qev_kernel_ir_loopback)
  find_package(Threads REQUIRED)
  add_library(qev_kernel_ir_loopback STATIC
    ${PROJECT_SOURCE_DIR}/bench/kernel_ir_loopback.h ${PROJECT_SOURCE_DIR}/bench/kernel_ir_loopback.cpp)
  target_link_libraries(qev_kernel_ir_loopback PUBLIC qev::appcore qev::irport Threads::Threads PRIVATE qev::flags)
endif()
