#pragma once
// What the setup creator and its name helper agree on. The tool asks a WFX
// plugin for its name by starting the helper of the plugin's build
// (PluginNameHelper.exe for a 32-bit library, PluginNameHelper64.exe for a
// 64-bit one, both beside the tool) with the wide command line
//
//     "<helper>" <handle> "<plugin library>"
//
// where <handle> is the decimal value of the write end of a pipe that the
// helper inherits. The helper loads the library, calls its FsGetDefRootName
// with a buffer of kRootNameCapacity characters, unloads the library, writes
// the whole buffer to the pipe as it is and ends with kNameHelperNamed.
// Whatever else happens (no library, no entry point, a fault, an end of the
// plugin's own making) ends it with another exit code and without that
// answer.

// Size of the buffer FsGetDefRootName receives.
constexpr int kRootNameCapacity = 256;

// The helper's exit codes of its own; a fault in the plugin ends it with the
// fault's exception code.
enum TNameHelperExit : unsigned {
    kNameHelperNamed = 0,
    kNameHelperBadCommandLine = 1,
    kNameHelperNotLoaded = 2,
    kNameHelperNoEntryPoint = 3,
    kNameHelperNotWritten = 4,
    kNameHelperFaultOnUnload = 5,
};
