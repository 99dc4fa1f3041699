// SVG text: runs of dark modules row by row, each a rectangle one module high. Relative moves keep
// the numbers short; a rectangle's "z" brings the pen back to its top-left corner.
#include "output/svg_file.h"

#include <string>

#include "output/bmp_file.h"

namespace qr {

std::string ComposeSvg(int symbolSize, const ModuleMatrix& modules, int scale) {
    const int side = symbolSize + 2 * kQuietZoneModules;
    const std::string modulesText = std::to_string(side);
    const std::string pixelsText = std::to_string(side * scale);
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + pixelsText + "\" height=\"" +
           pixelsText + "\" viewBox=\"0 0 " + modulesText + " " + modulesText +
           "\" shape-rendering=\"crispEdges\">\n";
    svg += "<rect width=\"" + modulesText + "\" height=\"" + modulesText + "\" fill=\"#fff\"/>\n";
    svg += "<path fill=\"#000\" d=\"";
    bool first = true;
    int penX = 0;
    int penY = 0;
    for (int v = 0; v < symbolSize; ++v) {
        for (int u = 0; u < symbolSize;) {
            if (modules[u][v] == 0) {
                ++u;
                continue;
            }
            int run = 1;
            while (u + run < symbolSize && modules[u + run][v] != 0) ++run;
            const int x = u + kQuietZoneModules;
            const int y = v + kQuietZoneModules;
            if (first) {
                svg += "M" + std::to_string(x) + " " + std::to_string(y);
                first = false;
            } else {
                svg += "m" + std::to_string(x - penX) + " " + std::to_string(y - penY);
            }
            const std::string runText = std::to_string(run);
            svg += "h" + runText + "v1h-" + runText + "z";
            penX = x;
            penY = y;
            u += run;
        }
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

}  // namespace qr
