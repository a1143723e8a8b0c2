#include "engine/table_layouts.h"

namespace oq::layout {

const std::array<std::string_view, kCaratulaColumnCount> kCaratula = {
    "idsubreg", "idaduana", "idaduanasal", "cuitcliente", "cuitdespaduana", "idvendedor",
    "fobdivisas", "fobcoddivisas", "fobdivcambio", "fletedivisas", "fletecoddivisas",
    "fletedivcambio", "segurodivisas", "segurocoddivisas", "seguroporcentaje", "segurodivcambio",
    "valoraprorratear", "ajusteincluir", "ajustededucir", "idcondiciondeventa", "idpaisdestino",
    "motivodestsuspensiva", "autorizdestsuspensiva", "plazoautorizacion", "cierreventa",
    "facilidadpago", "facturas", "factura1", "factura2", "factura3", "factura4", "factura5",
    "factura6", "factura7", "factura8", "factura9", "factura10", "fecha", "factorconver", "via",
    "cuittrans", "trans", "venemb", "bandera", "puertoemb", "interno", "MARCABUL", "BULNRO",
    "BULCOD", "BULTIP", "BULPES", "BULDES", "DCEstMerc", "DCforzarEstMerc", "DCPaisOrigen",
    "DCForzarPaisOrigen", "DCPaisDestino", "DCStandard", "DCRegalias", "DCKgNeto", "DCComExt",
    "DCBancos", "fechaembarque", "ONCCAAcuerdo", "ONCCAElaborador", "ONCCAEspecie",
    "ONCCAFaneador", "ONCCAMatadero", "ONCCAMeccoorgbio", "ONCCARes3106", "ONCCASisPro",
    "ONCCACategoria", "ONCCACortes", "ONCCAHabilitado", "fechaalta", "OpcionesIVa",
    "OpcionesGanancias", "Anexo_Vendedor", "DATOCOMPRADOR", "NROTRANSINTER",
    "gastos_anteriores_fob", "gastos_posteriores_fob", "DJAI_FECHA_EMB_APROX",
    "DJAI_FECHA_ARRIB_APROX", "DC_DJAI_ForzarDescripcionMercaderia",
    "DC_DJAI_DescripcionMercaderia", "identificador_externo",
};

const std::array<std::string_view, kFacturasColumnCount> kFacturas = {"interno", "orden",
                                                                      "factura"};

const std::array<std::string_view, kSubitemsColumnCount> kSubitems = {
    "interno", "IdCatalogo", "IDARTICULO", "ncm", "IdUnidad", "Cantidad", "Preciounitario",
    "Estadistica", "valorrelacionestadistica", "IdPais", "EstadoMerc", "descripcion", "Biendeuso",
    "codprorrateo", "insumostemp", "insumosacons", "cancelaciones", "cancCantidad", "cancnroitem",
    "cancnrosubitem", "deresp", "valorderesp", "SUFIJOS", "lapi", "KGNETO", "KGBRUTO", "FOB",
    "SBTREI", "ITFILLER", "descripcion_maria", "idpaisproc", "certorig", "naladisa",
};

}  // namespace oq::layout
