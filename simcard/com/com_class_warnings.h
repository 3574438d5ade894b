#pragma once

// COM interfaces have no virtual destructor by design: objects implementing
// them are destroyed only by their own Release, never through an interface
// pointer. GCC still warns about deriving from them, so the implementation
// classes are declared between these two markers.

#if defined(__GNUC__)
#define SIMCARD_COM_CLASSES_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wnon-virtual-dtor\"")
#define SIMCARD_COM_CLASSES_END _Pragma("GCC diagnostic pop")
#else
#define SIMCARD_COM_CLASSES_BEGIN
#define SIMCARD_COM_CLASSES_END
#endif
