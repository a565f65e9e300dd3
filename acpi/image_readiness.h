#pragma once

// Makes the image that holds the ACPI exports ready to run them. When another
// program has loaded this executable as a library, the platform leaves its
// imports unresolved (and Wine its base relocations undone): the first export
// call then applies the relocations and binds the imports, once per process,
// while concurrent callers wait. In the executable's own process it does
// nothing. False when the image could not be made ready; the export then
// answers 0.
bool MakeImageReady();

// The address of a named export of a loaded module, found as the step above
// finds kernel32's functions: through the module's export table, following
// forwarders to other loaded modules. Null when there is none.
void* FindLoadedExport(const void* module, const char* name);
