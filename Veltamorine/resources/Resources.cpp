// The resources themselves are attached to this library by the build; this file only gives
// the library a translation unit of its own.
namespace VeltamorineResources {
int anchor = 0;
}
