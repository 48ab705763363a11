// How a component library exports its entry: C linkage, the plain name, nothing else exported.
//   NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text)
#pragma once

#if defined(_WIN32)
#define NELK_COMPONENT_ENTRY extern "C" __declspec(dllexport)
#else
#define NELK_COMPONENT_ENTRY extern "C" __attribute__((visibility("default")))
#endif
