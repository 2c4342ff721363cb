#pragma once
// What the recorder and the profile book tell the operator: a level (the
// view picks the icon) and a text already in the language in use.
namespace zt {

enum class NoticeLevel { Information, Warning, Critical };

}  // namespace zt
