#pragma once
// One runner per test class; test_main.cpp runs them all in one process.
int RunWireTests(int argc, char** argv);
int RunMeterTests(int argc, char** argv);
int RunDialogueTests(int argc, char** argv);
int RunCommandLineTests(int argc, char** argv);
int RunPtyTests(int argc, char** argv);
