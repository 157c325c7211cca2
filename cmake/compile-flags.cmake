# The compiler flags of the project, defined once and included by the root
# project (traybutton/ gets mirelle_product_flags from it, but needs none of
# this when it is configured on its own).
#   (directory-wide)       C++17, and Release unless another build type is asked
#   mirelle_common_flags   every program and library of the project, tests
#                          included: warnings are errors, Windows 7 API
#   mirelle_product_flags  the shipped code on top: neither exceptions nor RTTI
include_guard(GLOBAL)

if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release)
endif()
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_library(mirelle_common_flags INTERFACE)
target_compile_options(mirelle_common_flags INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(mirelle_common_flags INTERFACE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

add_library(mirelle_product_flags INTERFACE)
target_link_libraries(mirelle_product_flags INTERFACE mirelle_common_flags)
target_compile_options(mirelle_product_flags INTERFACE -fno-exceptions -fno-rtti)
target_compile_definitions(mirelle_product_flags INTERFACE WIN32_LEAN_AND_MEAN)
