#pragma once
// The setup script that "Create setup" writes, compiled in a tool folder.
#include "core/ScriptFile.h"
#include "tests/support/Folders.h"
#include "tests/support/Programs.h"

// Fills the tool folder's template with `inputs` and what the plugin folder
// holds, as "Create setup" does, into the tool folder's temp.nsi and compiles
// it there with the stand-in.
ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs);
