#pragma once
// Each test class of this executable runs through one of these.
int RunFrameTests(int argc, char** argv);
int RunSettingsTests(int argc, char** argv);
int RunCommandTests(int argc, char** argv);
