// A whole shared library that is no component: it has no load_nelk_client_script.
extern "C" __attribute__((visibility("default"))) int not_a_component() { return 0; }
