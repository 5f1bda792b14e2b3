// Gives the resource library an object file of its own; the pictures themselves are
// generated from the images folder.
namespace tessaro_resources {
int anchor = 0;
}
