// Keeps the support library non-empty while its fixtures are header-only.
namespace tavritest {
int supportLibraryAnchor = 0;
}
