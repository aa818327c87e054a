"""Reading the TopoJSON files of npm's world-atlas, shared by the generators
of the basemap and of the land mask."""


def decoded_arcs(topology):
    """Every arc as a list of (longitude, latitude): the file stores each as
    quantized steps from the point before."""
    (scale_x, scale_y), (shift_x, shift_y) = topology['transform']['scale'], topology['transform']['translate']
    arcs = []
    for arc in topology['arcs']:
        x = y = 0
        points = []
        for dx, dy in arc:
            x += dx
            y += dy
            points.append((x * scale_x + shift_x, y * scale_y + shift_y))
        arcs.append(points)
    return arcs
