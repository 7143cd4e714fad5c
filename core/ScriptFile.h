#pragma once
// The files the compiler reads for a build, written so that it reads every
// character as meant: it takes text without a byte order mark in its own
// ANSI code page, and that is seldom what the text was written in.
#include "SetupScript.h"

#include <string>

// The template (its text as UTF-8) filled with `inputs` (text of this
// program's code page), as the bytes of the script file: UTF-8, after a byte
// order mark when it holds anything beyond ASCII. A template and values in
// plain ASCII give exactly the filled template.
std::string SetupScriptFile(const std::string& templateText, const TSetupScriptInputs& inputs);

// The name of the plugin's default folder and entry that the script of
// `inputs` gives (PluginFolderName), in this program's code page.
std::string PluginFolderNameOf(const TSetupScriptInputs& inputs);

// The licence file to hand the compiler for the one at `licensePath`: that
// file itself when the compiler reads it as written (plain ASCII, an RTF
// document, text with a byte order mark); otherwise its text converted to
// UTF-8 with a mark into `copyPath`, which is returned. The user's file is
// never changed. Throws EFOpenError, EFCreateError or EWriteError.
std::string LicenseForCompiler(const std::string& licensePath, const std::string& copyPath);

// Writes the script of `inputs` as the tool folder's temp.nsi and the list of
// installed files beside it, handing the compiler a converted copy of the
// licence there too where it needs one; the script as written. Throws
// EFOpenError (also for a plugin file that cannot be read for the list),
// EFCreateError or EWriteError.
std::string WriteSetupScript(const std::string& templateText, TSetupScriptInputs inputs, const std::string& toolFolder);
