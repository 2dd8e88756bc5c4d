// The tools' words, in the browser's language: Korean for a Korean browser,
// English otherwise.

const EN = {
  tools: 'Network tools',
  search: 'Search nodes',
  searchHint: 'Search nodes…',
  results: 'Matching nodes',
  noResults: 'No node found',
  legend: 'Legend',
  showLegend: 'Show legend',
  hideLegend: 'Hide legend',
  classes: 'Classes',
  linkKinds: 'Links',
  show: 'Show',
  hide: 'Hide',
  relayout: 'Re-layout',
  saveImage: 'Save image',
  scale: 'Image resolution',
  scale2: '2× screen',
  scale3: '3× screen',
  saving: 'Saving image…',
  saved: 'Image saved',
  reduced: 'Image saved, made smaller to fit the browser’s limits',
  tainted: 'The image cannot be saved: a picture in the network comes from another server that does not allow copying it.',
  failed: 'The image could not be saved.',
  untitled: 'network',
};

const KO = {
  tools: '네트워크 도구',
  search: '노드 검색',
  searchHint: '노드 검색…',
  results: '찾은 노드',
  noResults: '찾은 노드가 없습니다',
  legend: '범례',
  showLegend: '범례 펼치기',
  hideLegend: '범례 접기',
  classes: '클래스',
  linkKinds: '링크',
  show: '보이기',
  hide: '숨기기',
  relayout: '다시 배치',
  saveImage: '이미지 저장',
  scale: '이미지 해상도',
  scale2: '화면의 2배',
  scale3: '화면의 3배',
  saving: '이미지 저장 중…',
  saved: '이미지를 저장했습니다',
  reduced: '브라우저 한도에 맞게 줄여서 이미지를 저장했습니다',
  tainted: '이미지를 저장할 수 없습니다: 네트워크의 그림 중 복사를 허용하지 않는 다른 서버의 그림이 있습니다.',
  failed: '이미지를 저장하지 못했습니다.',
  untitled: 'network',
};

export function strings(language) {
  return /^ko\b/i.test(String(language || '')) ? KO : EN;
}
