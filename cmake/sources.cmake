# The platform-neutral sources, by folder, for both CMake projects (the Windows build and the
# native unit tests): base/ and component/core/. Set KELMO_ROOT before including this.
file(GLOB KELMO_BASE_SOURCES CONFIGURE_DEPENDS ${KELMO_ROOT}/base/*.cpp)
file(GLOB KELMO_CORE_SOURCES CONFIGURE_DEPENDS ${KELMO_ROOT}/component/core/*.cpp)
