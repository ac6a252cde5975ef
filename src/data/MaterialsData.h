#pragma once

class NamedQuery;

// The lists the materials and download windows show, by name: each function hands the grid or
// lookup its query, the read ones opened. The statements and their parameters stay here.
namespace MaterialsData {
NamedQuery *methodMaterials();          // not opened
NamedQuery *readMethodMaterials();
NamedQuery *measuringDisciplines();     // the expert's disciplines for the measuring materials
void readMeasuringDisciplines(int expert);
NamedQuery *measuringMaterials();
NamedQuery *readMeasuringMaterials(int discipline);
}

namespace DownloadData {
NamedQuery *disciplines();              // the expert's disciplines that have works to download
void readDisciplines(int expert);
NamedQuery *works();
NamedQuery *readWorks(int discipline);
}
